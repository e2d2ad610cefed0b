#pragma once
// The few control kinds of the settings window that Qt has no exact match for.
#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

class QToolButton;

// A panel: a framed, centred caption on a background of its own colour.
class TPanel : public QLabel {
    Q_OBJECT
public:
    enum Bevel { None, Lowered };
    TPanel(QWidget* parent, const QString& name, Bevel bevel);
    QColor Color() const { return color_; }
    void setColor(const QColor& c);

private:
    QColor color_;
};

// An edit box that limits what the operator enters (typed, pasted, dropped)
// to a number of characters but keeps a longer text that the program sets
// (the settings file may hold one) and lets the operator shorten it.
class TCodeEdit : public QLineEdit {
    Q_OBJECT
public:
    TCodeEdit(QWidget* parent, int typedLimit);
    int typedLimit() const { return limit_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    bool fits(int inserted) const;
    void checkEdit(const QString& now);
    int limit_;
    QString lastText_;  // the text before the operator's latest edit
};

// A spinner bound to an edit box: the box shows the position, and a number
// typed into the box becomes the position (brought into the range).
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QWidget* parent, QLineEdit* associate, int min, int max);
    int Position() const;
    void setPosition(int p);
    int Min() const { return min_; }
    int Max() const { return max_; }
    void stepBy(int steps);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QLineEdit* associate_;
    QToolButton* up_;
    QToolButton* down_;
    int min_, max_;
    mutable int position_;
};
