// One ordered log of every call the fakes receive (shell, tick timer, port,
// provisioning, wave device), so that a test can check the order of start-up
// and shutdown across all seams. Recording allocates nothing and may be done
// from several threads at once.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct FakeEvent {
    const char* what;  // a string literal naming the call
    int64_t a;
    int64_t b;
};

void fake_log(const char* what, int64_t a = 0, int64_t b = 0);
void fake_log_clear();
int fake_log_count();
FakeEvent fake_log_at(int index);

// The names of the logged calls, in order, one per element; port writes are
// written "port 0x37A=3" so that sequences read like the register protocol.
std::vector<std::string> fake_log_names();
// Only the port writes, as (port, value) pairs.
std::vector<std::pair<uint16_t, uint8_t>> fake_log_port_writes();
