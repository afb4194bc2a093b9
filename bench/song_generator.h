// Generates large songs for the benchmarks: up to 50 units of notes with
// lengths, ties, slurs, control commands, directives and repeats.
#pragma once

#include <string>

// An MML text of about `events` events.
std::string GenerateSong(long events);
