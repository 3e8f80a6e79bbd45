#pragma once
// The maker-information window: a fixed set of labels with the maker's
// contact details, nothing to operate. The main window creates it with
// itself as parent, runs exec() and deletes it afterwards; it always opens
// centred on the screen, not on the parent.

#include <QDialog>
#include <QSize>

#include "Form2Layout.h"

class QLabel;

namespace vm4417::ui {

class TForm2 : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize kClientSize{kForm2ClientWidth, kForm2ClientHeight};
    static constexpr QSize kOuterSize{kForm2OuterWidth, kForm2OuterHeight};

    explicit TForm2(QWidget* parent = nullptr);

private:
    QLabel* AddLabel(const LabelEntry& entry);
};

}  // namespace vm4417::ui
