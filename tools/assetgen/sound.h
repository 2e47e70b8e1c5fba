// Synthesised sound effects and their Ogg Vorbis writer.
#pragma once

#include <string>
#include <vector>

namespace ag {

struct SoundFile {
  std::string name;             // file name inside data/
  std::vector<double> samples;  // mono, at sample_rate()
  double peak;                  // loudest sample after normalising
};

std::vector<SoundFile> make_sounds();
int sample_rate();
void write_ogg(const std::vector<double>& samples, int rate, const std::string& path, int serial);

}  // namespace ag
