#pragma once

// The detector's words beyond the frames' layout (device/Frames.h) and its result table
// (device/ResultNames.h): what the program asks it, how it names itself, what its modes are
// called, and the materials a protocol declares. Texts are UTF-8.

// The two requests, one letter each: the identity frame and the readiness reply.
inline constexpr char kIdentityRequest[] = "V";
inline constexpr char kReadinessRequest[] = "R";
// How every detector of this kind begins its identity.
inline constexpr char kIdentityPrefix[] = "KVZ03";

// What the operator reads for a mode; nullptr for a character the detector does not send.
const char* ModeText(char mode);

// The materials a protocol can declare, in the order the protocol dialog lists them: a
// material's position is what the verdict compares with the measured result's.
int MaterialCount();
const char* MaterialName(int position);
// The position in the material list that a remembered result (TResultNames::ResultIndex) stands
// for: the two 585 results share one material. Results that name no material give a position
// that no material has.
int MaterialIndex(int resultIndex);
