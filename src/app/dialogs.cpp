#include "app/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace vhb {

namespace {
QuestionHook g_questionHook;
ErrorHook g_errorHook;
QString g_programFilePath;
QPointer<QMessageBox> g_errorBox;
bool g_errorsMuted = false;
}  // namespace

struct TopmostLowered::Saved {
    struct Entry {
        QPointer<QWidget> widget;
        bool visible;
    };
    std::vector<Entry> entries;
};

TopmostLowered::TopmostLowered() : saved_(new Saved) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!(w->windowFlags() & Qt::WindowStaysOnTopHint))
            continue;
        const bool visible = w->isVisible();
        saved_->entries.push_back({w, visible});
        w->setWindowFlag(Qt::WindowStaysOnTopHint, false);
        // Changing a window's flags hides it; a shown window stays shown.
        if (visible)
            w->show();
    }
}

TopmostLowered::~TopmostLowered() {
    for (const auto& e : saved_->entries) {
        if (!e.widget)
            continue;
        e.widget->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (e.visible)
            e.widget->show();
    }
    delete saved_;
}

bool askOkCancel(const QString& caption, const QString& text) {
    TopmostLowered lowered;
    if (g_questionHook)
        return g_questionHook(caption, text);
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void showError(const QString& message) {
    if (g_errorsMuted)
        return;
    if (g_errorHook) {
        g_errorHook(message);
        return;
    }
    // One error box at a time: an error that repeats at every heartbeat tick
    // while nobody is at the workstation must not stack boxes for months; the
    // open box shows the latest text instead.
    if (g_errorBox) {
        g_errorBox->setText(message);
        return;
    }
    auto* box =
        new QMessageBox(QMessageBox::Critical, QStringLiteral("Vesk-HB"), message, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box->setWindowModality(Qt::ApplicationModal);
    g_errorBox = box;
    // Shown from the event loop once the failed handler has unwound, and
    // without an event loop of its own: a timer whose handler raised the
    // error ticks on while the box is open, so the heartbeat comes back by
    // itself at the first send that succeeds.
    QMetaObject::invokeMethod(
        box,
        [box] {
            if (!g_errorsMuted)
                box->show();
        },
        Qt::QueuedConnection);
}

QMessageBox* openErrorBox() {
    return g_errorBox;
}

void setErrorsMuted(bool muted) {
    g_errorsMuted = muted;
    if (muted && g_errorBox)
        g_errorBox->close();
}

void setQuestionHook(QuestionHook hook) {
    g_questionHook = std::move(hook);
}
void setErrorHook(ErrorHook hook) {
    g_errorHook = std::move(hook);
}

// With the system's own separators: the path rules and the shortcut's
// working folder split at them.
QString programFilePath() {
    return g_programFilePath.isEmpty()
               ? QDir::toNativeSeparators(QCoreApplication::applicationFilePath())
               : g_programFilePath;
}

void setProgramFilePath(const QString& path) {
    g_programFilePath = path;
}

}  // namespace vhb
