#pragma once

#include <functional>

namespace quorvin {

class AppVisibility;
class LoginItem;
class QuorvinAppearanceController;
class QuorvinMacService;
class QuorvinUpdateController;
class UserDefaults;

// What the main window's views reach of the application: the service they bind to, the stored
// settings they mirror, and the shell pieces their controls drive. Everything lives as long as
// the application.
struct QuorvinAppContext {
    QuorvinMacService &service;
    UserDefaults &defaults;
    QuorvinUpdateController &updates;
    QuorvinAppearanceController &appearance;
    AppVisibility &visibility;
    LoginItem &loginItem;
    // Ends the application at once, without asking; a command that asks first runs the quit
    // confirmation itself.
    std::function<void()> terminate;
};

} // namespace quorvin
