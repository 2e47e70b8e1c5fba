// The mixing engine as the software-mixer driver sees it: the sounds it keeps, and a
// table of channel handles, each naming the voice that plays on it. Every engine_*
// operation runs on the game thread; the voices are mixed on the device's thread.
#pragma once

#include <memory>

#include "audio/mixer.h"

constexpr int ENGINE_SLOTS = 4096;  // slot 0 heads the free list, so 4095 handles exist

namespace softmix {
class audiodevice;
}

// 0 the sound card, 1 the fallback output (not available here). 0 or -1.
int engine_init(int device_kind);
// Runs the engine on the given device (tests, tools). 0 or -1.
int engine_init_device(std::unique_ptr<softmix::audiodevice> device);
// Closes the device (its thread has ended when this returns) and frees the table.
void engine_close();
int engine_running();

engine_sound* engine_create_sound(int length, int bits, int channels, int hertz, const void* data,
                                  int loop);
void engine_free_sound(engine_sound* sound);

int engine_alloc_channel();
void engine_free_channel(int handle);
int engine_play(engine_sound* sound, int paused, int handle);
void engine_stop(int handle);
void engine_set_paused(int handle, int paused);
void engine_set_volume(int handle, int volume);
void engine_set_pan(int handle, int pan);
void engine_set_depth(int handle, int depth);
void engine_set_rate(int handle, int rate);
int engine_status(int handle);
int engine_position(int handle);

// For tests and tools: the mixer, and the voice on a live handle.
softmix::mixer* engine_mixer();
softmix::sound* engine_voice(int handle);
