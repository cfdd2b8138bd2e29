// How many keys a curve of a take may get. Gaps are bounded one by one
// (kMaxFilledGapFrames), but a sender whose stamps run faster than its
// capture (milliseconds sent as seconds) spreads a few seconds over hours
// of scene time, every gap of it fillable: 8 s of capture made 38.8 million
// keys. The budget follows the capture instead: a take's keys per curve are
// at most its captured frames, plus two keys for each scene frame of its
// captured seconds (measured on the receiver's clock, by arrival), plus two
// gaps' filling. A take over it keys its captured frames only, unfilled.
// Host-free.
#pragma once

#include "intake/captureJournal.h"
#include "recording/captureTimeline.h"

#include <cstdint>
#include <vector>

// Seconds between the first and the last arrival of the take's frames
// (in arrival order).
double capturedSeconds(const std::vector<JournalFrame>& frames);

// The keys a curve of a take may get (see above).
double keyBudget(std::size_t frameCount, double capturedSeconds, double sceneFramesPerSecond);

// The keys a curve gets when every whole scene frame is keyed
// (wholeFrameKeys), counted without making them.
double wholeFrameKeyCount(const std::vector<TimedFrame>& timeline);
// The keys a curve gets when every captured frame is keyed at its own time,
// skipped whole frames filled (forEachTakeKey), counted without making them.
double capturedKeyCount(const std::vector<TimedFrame>& timeline);
