#pragma once
// Application-wide set-up that happens before the main window exists.

#include <QApplication>

namespace tobrik::app {

class WindowServices;

// False, after one clear line on standard error, when no display can be
// reached; Qt would otherwise abort with a stack of messages.
bool DisplayAvailable(const char* program);

// Name, version, font and translations of the application.
void SetUpApplication(QApplication& application);

// Lets the network module show its messages through the window services.
void RouteNetworkMessages(WindowServices& services);

} // namespace tobrik::app
