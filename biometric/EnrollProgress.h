// The enrolment dialog's rules that need no window: which bitmap a progress state shows, the
// state of an accepted sample, and which Windows Hello position the next enrolment takes.
#pragma once

#include "biometric/FingerIds.h"

#include <cstdint>

// Progress states run from -1 (finger outline) over 0 (empty print) to 18 (complete).
constexpr int kEnrollStateOutline = -1;
constexpr int kEnrollStateEmpty = 0;
constexpr int kEnrollStateComplete = 18;

// The bitmap resource of a progress state, or 0 for a state outside -1..18 (the picture keeps
// what it shows).
int EnrollProgressBitmap(int state);

// The print fills in eight steps: how many of them a progress bitmap shows (0 for the empty
// print, 8 for the complete one), or -1 for a bitmap that is not a print (the finger outline).
constexpr int kEnrollProgressSteps = 8;
int EnrollProgressStep(int bitmap);

// The progress state for the n-th accepted sample: beyond 17 the picture swings between the two
// states before completion, so a long enrolment never looks finished before it is.
int EnrollSampleState(long long sampleNumber);

// The string id of the hint after a refused sample: what to do for the reject detail the sensor
// gave (WINBIO_FP_TOO_HIGH 1 .. WINBIO_FP_MERGE_FAILURE 10), or to lift and touch again for any other.
unsigned int RefusedSampleHint(unsigned long rejectDetail);

// The sub-factor of the first free Windows Hello position (finger indices 10..19, lowest first).
// With all ten taken the previous choice stays.
std::uint8_t NextWindowsHelloSubFactor(const FingerFlags& flags, std::uint8_t previous);

// Whether a Windows Hello position is still free.
bool HasFreeWindowsHelloPosition(const FingerFlags& flags);

// The Windows Hello position (1..10) of a sub-factor 0xF5..0xFE.
int WindowsHelloPosition(std::uint8_t subFactor);
