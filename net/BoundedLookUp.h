#pragma once
// A name look-up with a time limit. The resolvers of both systems may wait
// on a name server (or NetBIOS) for tens of seconds and cannot be
// interrupted, so the look-up runs on a worker thread and the caller waits
// for it only up to the limit. A look-up still blocked then is abandoned:
// its worker runs on, detached, and its answer is dropped. Workers are
// reused; one without work for a while ends.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace tobrik::net {

// How long a reverse look-up may take in all, every retry and name server
// included. Past it the address counts as one without a name.
inline constexpr std::chrono::milliseconds kReverseLookUpBound{2000};

// How many worker threads may exist at once, those still in an abandoned
// look-up included. A resolver that leaves this many unanswered is not
// answering; further look-ups then give no name at once instead of
// starting yet another thread, so a long sweep of nameless hosts cannot
// pile threads up.
inline constexpr int kRunningLookUpLimit = 16;

using LookUp = std::function<std::optional<std::string>()>;

// lookUp's answer if it comes within bound; nothing when it does not, when
// all kRunningLookUpLimit workers are busy (lookUp is then not called), or
// when no thread can be started or the memory for it is lacking: never an
// exception. lookUp must own all it uses (capture by
// value): an abandoned one may outlive the caller, and even the program's
// static objects, as nothing waits for it at exit.
std::optional<std::string> BoundedLookUp(LookUp lookUp, std::chrono::milliseconds bound);

} // namespace tobrik::net
