#pragma once
// The few control kinds of the settings window that Qt has no exact match for.
#include <QColor>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;

// A control whose Qt widget is made when the control is first shown. A
// label, a line editor, a combo box or a tool button brings in the text
// layout, the font stack and accessibility code from the moment it is made,
// which a window that stays hidden all day never needs. Until the first show
// the control keeps its state itself; the widget then takes the control's
// place (its geometry and its place in the tab order) and its state, and
// holds the state from then on. The rest of the program reads and writes the
// state through the control alone, the same before and after.
class TDeferredControl : public QWidget {
    Q_OBJECT
public:
    QSize sizeHint() const override;

protected:
    // A control that takes the focus holds its place in the tab order until
    // the widget steps in.
    TDeferredControl(QWidget* parent, bool takesFocus);
    // Makes the widget as a child of the control and moves the kept state
    // into it.
    virtual QWidget* make() = 0;
    // The widget, made now if the control has not been shown yet.
    QWidget* widget();
    // The widget once it is made, else null.
    template <typename W>
    W* made() const {
        return static_cast<W*>(widget_);
    }
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QWidget* widget_ = nullptr;
};

// A caption: a label, made at its first show. Texts show as they are, never
// as markup.
class TCaption : public TDeferredControl {
    Q_OBJECT
public:
    QString text() const;
    void setText(const QString& text);

protected:
    TCaption(QWidget* parent, const QString& text);
    virtual void dress(QLabel* label) { (void)label; }  // how the label looks
    QWidget* make() override;

private:
    QString text_;  // until the label is made
};

// A panel: a framed, centred caption on a background of its own colour.
class TPanel : public TCaption {
    Q_OBJECT
public:
    enum Bevel { None, Lowered };
    TPanel(QWidget* parent, const QString& name, Bevel bevel);
    QColor Color() const { return color_; }
    void setColor(const QColor& c);

protected:
    void dress(QLabel* label) override;

private:
    Bevel bevel_;
    QColor color_;
};

// A label sized to its caption when it is shown rather than when it is made:
// measuring a text loads the whole font stack.
class TLabel : public TCaption {
    Q_OBJECT
public:
    TLabel(const QString& caption, QWidget* parent) : TCaption(parent, caption) {}

protected:
    void showEvent(QShowEvent* e) override;
};

// An edit box: a line editor, made at its first show.
class TEdit : public TDeferredControl {
    Q_OBJECT
public:
    TEdit(QWidget* parent, const QString& text);
    QString text() const;
    void setText(const QString& text);
    void clear() { setText(QString()); }
    // The line editor itself, made now if the box has not been shown yet:
    // what only the editor does (the operator's input, the focus).
    QLineEdit* editor();

protected:
    QWidget* make() override;
    // Gives `editor` the kept text.
    QLineEdit* withText(QLineEdit* editor);

private:
    QString text_;  // until the editor is made
};

// An edit box that limits what the operator enters (typed, pasted, dropped)
// to a number of characters, taking in as much of it as fits, but keeps a
// longer text that the program sets (the settings file may hold one) and
// lets the operator shorten it.
class TCodeEdit : public TEdit {
    Q_OBJECT
public:
    TCodeEdit(QWidget* parent, int limit) : TEdit(parent, QString()), limit_(limit) {}

protected:
    QWidget* make() override;

private:
    int limit_;
};

// A combo box with an edit text, made at its first show. Until then the box
// keeps the list, the current item and the edit text, and the edit text
// follows the current item as an editor's would.
class TComboBox : public TDeferredControl {
    Q_OBJECT
public:
    explicit TComboBox(QWidget* parent);
    int count() const;
    QString itemText(int index) const;
    void addItem(const QString& text);
    void clear();
    QString currentText() const;
    void setEditText(const QString& text);
    // The combo box itself, made now if the box has not been shown yet.
    QComboBox* box();

protected:
    QWidget* make() override;

private:
    QStringList items_;  // until the combo box is made
    int current_ = -1;   // its current item
    QString editText_;   // its edit text
};

// A spinner bound to an edit box: the box shows the position, and a number
// typed into the box becomes the position (brought into the range). Its
// arrows are made at its first show; the position is the spinner's own.
class TUpDown : public TDeferredControl {
    Q_OBJECT
public:
    TUpDown(QWidget* parent, TEdit* associate, int min, int max);
    int Position() const;
    void setPosition(int p);
    void stepBy(int steps);

protected:
    QWidget* make() override;

private:
    TEdit* associate_;
    int min_, max_;
    mutable int position_;
};
