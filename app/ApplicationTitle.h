#pragma once
// The application's title, borne by message boxes without a title of their own.

inline constexpr const char* kApplicationTitle = "dorIzezovedivu";
