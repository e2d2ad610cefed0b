#include "settings/form_look.h"

#include <QEvent>
#include <QScreen>
#include <QStringList>
#include <QWidget>

namespace vhb {

namespace {

// The captions were placed for the 8-point "MS Sans Serif" of Windows, whose
// em is 11 pixels at 96 dpi. Its TrueType twin comes first, since the bitmap
// original is matched at the wrong size on Windows; elsewhere a sans with
// Arial's widths, which are close to it, keeps every caption inside its
// control (Liberation Sans from fonts-liberation2, or Arimo). A narrow sans
// is the last resort before the system's default.
QStringList formFamilies() {
    return {QStringLiteral("Microsoft Sans Serif"),
            QStringLiteral("MS Sans Serif"),
            QStringLiteral("Liberation Sans"),
            QStringLiteral("Arimo"),
            QStringLiteral("Arial"),
            QStringLiteral("Nimbus Sans"),
            QStringLiteral("FreeSans"),
            QStringLiteral("DejaVu Sans Condensed")};
}

class FirstShowCentring : public QObject {
public:
    explicit FirstShowCentring(QWidget* window) : QObject(window) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent() || event->type() != QEvent::Show)
            return false;
        auto* window = static_cast<QWidget*>(watched);
        // The native window exists but is not yet mapped: placing it now
        // keeps it from appearing first where the system would put it.
        if (QScreen* screen = window->screen()) {
            QRect frame = window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
        watched->removeEventFilter(this);
        deleteLater();
        return false;
    }
};

}  // namespace

QFont settingsFormFont() {
    QFont f;
    f.setFamilies(formFamilies());
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    return f;
}

QFont shortcutButtonFont() {
    QStringList families{QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                         QStringLiteral("IPAPGothic")};
    families += formFamilies();
    QFont f;
    f.setFamilies(families);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(12);
    return f;
}

void centreOnFirstShow(QWidget* window) {
    new FirstShowCentring(window);
}

}  // namespace vhb
