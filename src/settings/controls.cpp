#include "settings/controls.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QToolButton>
#include <algorithm>

#include "common/number.h"

TCaption::TCaption(QWidget* parent, const QString& text) : QWidget(parent), text_(text) {}

QString TCaption::text() const {
    return label_ ? label_->text() : text_;
}

void TCaption::setText(const QString& text) {
    if (label_)
        label_->setText(text);
    else
        text_ = text;
}

QSize TCaption::sizeHint() const {
    return label_ ? label_->sizeHint() : QWidget::sizeHint();
}

void TCaption::showEvent(QShowEvent* e) {
    if (!label_) {
        label_ = new QLabel(this);
        label_->setTextFormat(Qt::PlainText);
        dress(label_);
        label_->setText(text_);
        text_.clear();
        label_->setGeometry(rect());
        label_->show();
    }
    QWidget::showEvent(e);
}

void TCaption::resizeEvent(QResizeEvent*) {
    if (label_)
        label_->setGeometry(rect());
}

TPanel::TPanel(QWidget* parent, const QString& name, Bevel bevel)
    : TCaption(parent, QString()), bevel_(bevel) {
    setObjectName(name);
    setAutoFillBackground(true);
    setColor(palette().color(QPalette::Window));
}

void TPanel::setColor(const QColor& c) {
    // The status panel is coloured at every sample, mostly with the colour
    // it has; a new palette costs far more than the comparison.
    if (c == color_)
        return;
    color_ = c;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, c);
    setPalette(pal);
}

void TPanel::dress(QLabel* label) {
    label->setAlignment(Qt::AlignCenter);
    if (bevel_ == Lowered)
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void TLabel::showEvent(QShowEvent* e) {
    TCaption::showEvent(e);
    adjustSize();
}

TEdit::TEdit(QWidget* parent, const QString& text) : QWidget(parent), text_(text) {
    // Takes its place in the tab order now; the editor steps in when made.
    setFocusPolicy(Qt::StrongFocus);
}

QString TEdit::text() const {
    return editor_ ? editor_->text() : text_;
}

void TEdit::setText(const QString& text) {
    if (editor_)
        editor_->setText(text);
    else
        text_ = text;
}

QLineEdit* TEdit::editor() {
    if (editor_)
        return editor_;
    editor_ = makeEditor();
    editor_->setText(text_);
    text_.clear();
    editor_->setGeometry(rect());
    // The editor takes the box's place in the tab order; the box itself no
    // longer takes the focus.
    setTabOrder(this, editor_);
    setFocusPolicy(Qt::NoFocus);
    editor_->show();
    return editor_;
}

QLineEdit* TEdit::makeEditor() {
    return new QLineEdit(this);
}

void TEdit::showEvent(QShowEvent* e) {
    editor();
    QWidget::showEvent(e);
}

void TEdit::resizeEvent(QResizeEvent*) {
    if (editor_)
        editor_->setGeometry(rect());
}

namespace {

// The send code's line editor: what is typed, pasted or dropped is taken
// only while it fits the limit.
class LimitedLineEdit : public QLineEdit {
public:
    LimitedLineEdit(QWidget* parent, int typedLimit) : QLineEdit(parent), limit_(typedLimit) {
        // textEdited (the operator's edits only) comes before textChanged,
        // so lastText_ still holds the text the edit started from.
        connect(this, &QLineEdit::textEdited, this, [this](const QString& now) { checkEdit(now); });
        connect(this, &QLineEdit::textChanged, this, [this] { lastText_ = text(); });
    }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    bool fits(int inserted) const;
    void checkEdit(const QString& now);
    int limit_;
    QString lastText_;  // the text before the operator's latest edit
};

void LimitedLineEdit::checkEdit(const QString& now) {
    // Whatever way text came in (a paste from the menu, a drop, the middle
    // button), an edit that inserted anything may leave at most the limit; a
    // longer text the program set can still be shortened.
    if (now.size() <= limit_)
        return;
    qsizetype prefix = 0;
    const qsizetype common = std::min(now.size(), lastText_.size());
    while (prefix < common && now[prefix] == lastText_[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < common - prefix &&
           now[now.size() - 1 - suffix] == lastText_[lastText_.size() - 1 - suffix])
        ++suffix;
    if (prefix + suffix == now.size())
        return;  // only removed characters
    setText(lastText_);
    setCursorPosition(static_cast<int>(prefix));
}

bool LimitedLineEdit::fits(int inserted) const {
    const int kept = static_cast<int>(text().size()) - static_cast<int>(selectedText().size());
    return kept + inserted <= limit_;
}

void LimitedLineEdit::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Paste)) {
        // Pasted text is typing too: take only what still fits.
        QLineEdit::keyPressEvent(e);
        if (text().size() > limit_ && isUndoAvailable())
            undo();
        return;
    }
    const QString typed = e->text();
    const bool printable = !typed.isEmpty() && typed.at(0).isPrint();
    if (printable && !fits(static_cast<int>(typed.size()))) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void LimitedLineEdit::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty() && !fits(static_cast<int>(e->commitString().size()))) {
        e->accept();
        return;
    }
    QLineEdit::inputMethodEvent(e);
}

}  // namespace

QLineEdit* TCodeEdit::makeEditor() {
    return new LimitedLineEdit(this, limit_);
}

TComboBox::TComboBox(QWidget* parent) : QWidget(parent) {
    // Takes its place in the tab order now; the combo box steps in when made.
    setFocusPolicy(Qt::StrongFocus);
}

int TComboBox::count() const {
    return box_ ? box_->count() : int(items_.size());
}

QString TComboBox::itemText(int index) const {
    return box_ ? box_->itemText(index) : items_.value(index);
}

void TComboBox::addItem(const QString& text) {
    if (box_) {
        box_->addItem(text);
        return;
    }
    items_.append(text);
    // The first item added to an empty list becomes the current one, and an
    // editor takes its text.
    if (current_ < 0) {
        current_ = 0;
        editText_ = text;
    }
}

void TComboBox::clear() {
    if (box_) {
        box_->clear();
        return;
    }
    items_.clear();
    current_ = -1;
    editText_.clear();
}

QString TComboBox::currentText() const {
    return box_ ? box_->currentText() : editText_;
}

void TComboBox::setEditText(const QString& text) {
    if (box_)
        box_->setEditText(text);
    else
        editText_ = text;
}

void TComboBox::showEvent(QShowEvent* e) {
    if (!box_) {
        box_ = new QComboBox(this);
        box_->setInsertPolicy(QComboBox::NoInsert);
        box_->setEditable(true);
        box_->addItems(items_);
        box_->setCurrentIndex(current_);
        box_->setEditText(editText_);
        items_.clear();
        editText_.clear();
        box_->setGeometry(rect());
        // The combo box takes this box's place in the tab order, its editor
        // right behind it (the editor hands its focus to the combo box, so it
        // is moved while it does not).
        setTabOrder(this, box_);
        setFocusPolicy(Qt::NoFocus);
        QLineEdit* editor = box_->lineEdit();
        editor->setFocusProxy(nullptr);
        setTabOrder(box_, editor);
        editor->setFocusProxy(box_);
        box_->show();
    }
    QWidget::showEvent(e);
}

void TComboBox::resizeEvent(QResizeEvent*) {
    if (box_)
        box_->setGeometry(rect());
}

TUpDown::TUpDown(QWidget* parent, TEdit* associate, int min, int max)
    : QWidget(parent), associate_(associate), min_(min), max_(max), position_(min) {}

void TUpDown::showEvent(QShowEvent* e) {
    // The arrows are made when the spinner is first shown: a window that
    // stays hidden all day never needs their code. They are clicked only, as
    // a spinner's arrows are; the number is typed into the box.
    if (!up_) {
        up_ = new QToolButton(this);
        up_->setArrowType(Qt::UpArrow);
        down_ = new QToolButton(this);
        down_->setArrowType(Qt::DownArrow);
        for (QToolButton* b : {up_, down_}) {
            b->setAutoRepeat(true);
            b->setFocusPolicy(Qt::NoFocus);
        }
        connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
        connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
        placeArrows();
        up_->show();
        down_->show();
    }
    QWidget::showEvent(e);
}

int TUpDown::Position() const {
    // A number typed into the box is the position; other text keeps the last.
    if (associate_) {
        if (auto n = vhb::tryReadNumber(associate_->text().toLocal8Bit().toStdString()))
            position_ = std::clamp<int>(*n, min_, max_);
    }
    return position_;
}

void TUpDown::setPosition(int p) {
    position_ = std::clamp(p, min_, max_);
    if (associate_)
        associate_->setText(QString::number(position_));
}

void TUpDown::stepBy(int steps) {
    setPosition(Position() + steps);
}

void TUpDown::resizeEvent(QResizeEvent*) {
    placeArrows();
}

void TUpDown::placeArrows() {
    if (!up_)
        return;
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}
