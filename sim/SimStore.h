// Where the simulated service keeps its state: a text file under C:\ProgramData of the prefix,
// read and written only while holding a named mutex, so that every process sees one state.
#pragma once

#include "sim/SimState.h"

#include <windows.h>

#include <functional>
#include <string>

namespace sim {

// The state file (NV_WINBIO_SIM_STATE overrides it, so a test can work on a state of its own).
std::wstring StatePath();

// Runs the change on the current state under the mutex and writes it back when the change
// returns true. False when the mutex or the file could not be had (the change did not run or
// was not saved).
bool Transact(const std::function<bool(State&)>& change);

// A copy of the current state.
bool Load(State& state);

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view text);

// The process that owns the foreground window (the one whose window has the focus), or 0: the
// only one the sensor's samples go to.
DWORD ForegroundProcess();

// Whether the process still runs: what an ended one left in the state is no longer anyone's.
bool ProcessRuns(std::uint32_t id);
// Drops what ended processes left pending or open; true when anything went.
bool ForgetEndedProcesses(State& state);

// The SID text ("S-1-5-...") of the account that runs the process, or empty.
std::string CurrentUserSid();
// The SID text in a WINBIO_IDENTITY-style SID buffer; empty when it is not a valid SID.
std::string SidText(const void* sid);

} // namespace sim
