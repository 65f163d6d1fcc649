#pragma once
// A name look-up with a time limit. The resolvers of both systems may wait
// on a name server (or NetBIOS) for tens of seconds and cannot be
// interrupted, so the look-up runs on a thread of its own and the caller
// waits for it only up to the limit. A look-up still blocked then is
// abandoned: it runs on detached and its answer is dropped.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace tobrik::net {

// How long a reverse look-up may take in all, every retry and name server
// included. Past it the address counts as one without a name.
inline constexpr std::chrono::milliseconds kReverseLookUpBound{2000};

// How many look-ups may run at once, abandoned ones included. A resolver
// that leaves this many unanswered is not answering; further look-ups give
// no name at once instead of starting yet another thread, so a long sweep
// of nameless hosts cannot pile threads up.
inline constexpr int kRunningLookUpLimit = 16;

using LookUp = std::function<std::optional<std::string>()>;

// lookUp's answer if it comes within bound; nothing when it does not, when
// kRunningLookUpLimit look-ups are running already (lookUp is then not
// called), or when no thread can be started. lookUp must own all it uses
// (capture by value): an abandoned one may outlive the caller, and even
// the program's static objects, as nothing waits for it at exit.
std::optional<std::string> BoundedLookUp(LookUp lookUp, std::chrono::milliseconds bound);

// The look-ups started by BoundedLookUp that have not returned yet.
int RunningLookUps();

} // namespace tobrik::net
