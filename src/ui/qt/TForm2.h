#pragma once
// The maker-information window: a fixed set of labels with the maker's
// contact details, nothing to operate. The main window creates it with
// itself as parent, runs exec() and deletes it afterwards; it always opens
// centred on the screen, not on the parent.

#include <QDialog>
#include <QSize>

class QLabel;

namespace vm4417::ui {

class TForm2 : public QDialog {
    Q_OBJECT

public:
    // Client area; with an ordinary frame (4 px borders, 23 px title bar
    // including the top border) the outer size is 314 x 265.
    static constexpr QSize kClientSize{306, 238};
    static constexpr QSize kOuterSize{314, 265};

    explicit TForm2(QWidget* parent = nullptr);

private:
    QLabel* AddLabel(const char* name, int left, int top, const QString& text, bool bold);
    void CentreOnScreen();
};

}  // namespace vm4417::ui
