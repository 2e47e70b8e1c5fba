// Program entry. The command line is not read.
#include <exception>
#include <iostream>

#include "game/program.h"

int main() {
    try {
        return run_program();
    } catch (const std::exception& e) {
        std::cerr << "aerovane: " << e.what() << std::endl;
        return 2;
    } catch (...) {
        std::cerr << "aerovane: unexpected failure" << std::endl;
        return 2;
    }
}
