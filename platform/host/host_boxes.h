// Host-only: message boxes answered from a script and recorded, so tests and
// the headless runner can drive every question and check every text shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostBox {
  std::string caption;
  std::string text;
  uint32_t style;
};

// Queues the answer (kAnswer*) for the next box; boxes without a queued
// answer get their default button, or what HostSetUnansweredBox chooses.
void HostQueueAnswer(int answer);

// Chooses the answer of every box that no queued answer is left for, in
// place of its default button (null: the default button again).
void HostSetUnansweredBox(int (*choose)(const HostBox& box));

// Every box shown since the last HostClearBoxes, oldest first.
const std::vector<HostBox>& HostShownBoxes();

// Forgets the boxes shown and the answers not used yet.
void HostClearBoxes();

// Called for every box with the answer it is about to return, so that a
// script can act as the user would before answering (swap a disk, say).
void HostSetBoxObserver(void (*observer)(const HostBox& box, int answer));
