// The pictures and the font carried inside the program. The build generates the
// definition (library av_embedded) from the files in assets/; call it once, first thing.
#pragma once

void register_embedded_files();
