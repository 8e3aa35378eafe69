#pragma once

class QCoreApplication;
class QTranslator;

namespace quorvin::QtTranslations {

// Qt's own texts (the buttons of its dialogs, the context menus of text fields) in Chinese, like
// the rest of the interface, whatever the session's language: from the toolkit's translation
// files for zh_CN. The translator belongs to the application; null when the files are not
// installed, and the texts then stay English.
QTranslator *install(QCoreApplication &application);

} // namespace quorvin::QtTranslations
