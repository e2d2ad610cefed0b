#pragma once
// Questions to the operator and the application's error report.
#include <QString>
#include <functional>

class QMessageBox;

namespace vhb {

// A modal OK/Cancel question with no icon, OK the default. The program's
// stay-on-top windows leave the topmost layer for the time of the question
// and come back after it, whatever the answer. True only for OK.
bool askOkCancel(const QString& caption, const QString& text);

// Shows an error's text in the error message box; the program runs on. The
// box opens after the current handler has returned and one box serves every
// error: errors that come before it is shown are all listed in it, and a new
// error replaces the text of the open box. From OK on, a new error opens a
// new box. A question that comes while a box is pending or open puts it back
// on top when it ends.
void showError(const QString& message);
// The error box while it is open (or about to open), else null.
QMessageBox* openErrorBox();
// From the confirmed exit on: errors are no longer shown (a host look-up
// still pending ends in an error that nobody needs to see).
void setErrorsMuted(bool muted);

// Takes the stay-on-top windows out of the topmost layer while it lives and
// puts them back when it ends (also when an error ends the handler).
class TopmostLowered {
public:
    TopmostLowered();
    ~TopmostLowered();
    TopmostLowered(const TopmostLowered&) = delete;
    TopmostLowered& operator=(const TopmostLowered&) = delete;

private:
    struct Saved;
    Saved* saved_;
};

// Test seams: answer questions and collect error texts without a box.
using QuestionHook = std::function<bool(const QString& caption, const QString& text)>;
using ErrorHook = std::function<void(const QString& message)>;
void setQuestionHook(QuestionHook hook);
void setErrorHook(ErrorHook hook);

// The program file's full path; tests may put the program elsewhere, which
// moves its settings file too.
QString programFilePath();
void setProgramFilePath(const QString& path);

}  // namespace vhb
