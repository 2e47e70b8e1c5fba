// Internal to the system driver: how its files raise events.
#pragma once

// Emits an event without source or extra object, carrying the held modifiers.
void emit_event(int id, int data = 0, int x = 0, int y = 0);
