// Program entry; the start-up sequence lives in src/game.
int main() { return 0; }
