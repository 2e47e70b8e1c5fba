// The 4-byte files in the data folder: the best score, the glasses type and the choice
// of a window over full screen. Read once at start-up, written once at exit. A save
// never leaves a half-written file behind: the value goes to a new file beside the old
// one, is read back, and only then replaces it.
#include <cstdio>
#include <string>

#include "game/game.h"
#include "graphics/gl/graphics.h"
#include "stream/stream.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/qndraw.h"

const char* const hiscore_path = "data\\hiscore.dat";
const char* const anaglyph_path = "Data\\anaglyph3d.dat";
const char* const window_path = "data\\window.dat";

namespace {

// The one int of a data file. False when no regular, readable file is there (a folder
// of that name, say); a file shorter than 4 bytes reads as its bytes padded with zeros.
bool read_data_int(const std::string& path, int& value) {
    if (file_type(path) != 1) return false;
    try {
        auto stream = read_file(path);
        if (!stream) return false;
        const int read = ReadInt(stream);
        close_stream(stream);
        value = read;
        return true;
    } catch (const TStreamException&) {
        return false;
    }
}

// True when the file at path holds exactly the 4 bytes of value.
bool holds_exactly(const std::string& path, int value) {
    if (file_type(path) != 1) return false;
    try {
        auto stream = read_file(path);
        if (!stream) return false;
        const bool ok = stream->Size() == 4 && ReadInt(stream) == value;
        close_stream(stream);
        return ok;
    } catch (const TStreamException&) {
        return false;
    }
}

// Replaces the file with the 4 bytes of value. On any failure (no data folder, a folder
// in the way, a full disk) the old file stays as it was and false comes back.
bool write_data_int(const std::string& path, int value) {
    const std::string target = map_file_path(path);
    const std::string temp = target + ".new";
    bool ok = false;
    bool created = false;
    try {
        auto stream = write_file(temp);
        if (stream) {
            created = true;
            WriteInt(stream, value);
            stream->Flush();
            close_stream(stream);
            // A full disk may only show when the buffer reaches the file, so look.
            ok = holds_exactly(temp, value);
        }
    } catch (const TStreamException&) {
        ok = false;
    }
    if (ok) ok = std::rename(temp.c_str(), target.c_str()) == 0;
    // Only ever remove what this save made.
    if (!ok && created) std::remove(temp.c_str());
    return ok;
}

}  // namespace

int hiscore_file(int save) {
    if (save) {
        write_data_int(hiscore_path, player->best_sc);
        return 0;
    }
    int best = 0;
    if (!read_data_int(hiscore_path, best)) best = 0;
    // No game ever ends below 0, so a negative value can only be a damaged file.
    player->best_sc = best < 0 ? 0 : best;
    return 0;
}

int anaglyph_file(int mode) {
    if (mode == 1) {
        int stored = 0;
        if (read_data_int(anaglyph_path, stored))
            // The menu only knows types 0 to 4; anything else starts flat.
            mode3d = (stored >= 0 && stored <= 4) ? stored : 0;
    } else if (mode == 2) {
        write_data_int(anaglyph_path, mode3d);
    }

    switch (mode3d) {
        case 1: draw3d->slc(140, 4, 40, 4, 100, 20); break;
        case 2: draw3d->slc(4, 100, 20, 140, 4, 10); break;
        case 3: draw3d->slc(4, 80, 60, 140, 4, 10); break;
        case 4: draw3d->slc(4, 20, 140, 140, 4, 20); break;
        default: break;  // flat: the last colours stay stored but unused
    }
    return 0;
}

int window_file(int save) {
    if (save) {
        write_data_int(window_path, GraphicsWindowed() ? 1 : 0);
        return 0;
    }
    // Anything but exactly the four bytes of 0 or 1 is full screen, as with no file.
    int stored = 0;
    const bool window = read_data_int(window_path, stored) && stored == 1 &&
                        holds_exactly(window_path, stored);
    SetGraphicsWindowed(window);
    return 0;
}
