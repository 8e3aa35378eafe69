#pragma once

class QWidget;

namespace quorvin {

// The one quit confirmation, shared by the status menu and the dashboard's quit tile. Callers
// end the application themselves on a yes.
class QuorvinQuitController {
public:
    // Asks "退出 Quorvin？" in an application-modal warning; true only for "退出程序".
    static bool confirmQuit(QWidget *parent = nullptr);
};

} // namespace quorvin
