#include "FakeView.h"

#include "Form1Layout.h"

namespace vm4417::test {

FakeView::FakeView() : memo(kListLineCount) {
    for (const ControlEntry& entry : Form1Controls()) {
        ControlState& s = controls[entry.id];
        s.visible = entry.visible;
        s.checked = entry.checked;
        s.text = std::string(entry.text);
    }
}

void FakeView::RepaintNow(Control c) {
    ++state(c).repaints;
    if (c == Control::StatusBar1) repaintedStatus.push_back(status);
}

void FakeView::SetStatusText(const std::string& text) {
    status = text;
    statusTexts.push_back(text);
}

std::string FakeView::MemoLine(int index) const {
    if (index < 0 || index >= static_cast<int>(memo.size())) return {};
    return memo[static_cast<std::size_t>(index)];
}

void FakeView::SetMemoLine(int index, const std::string& text) {
    if (index < 0 || index >= static_cast<int>(memo.size())) return;
    memo[static_cast<std::size_t>(index)] = text;
}

void FakeView::OpenBox(Box box) {
    box.timer1WasEnabled = timers.at(Timer::Timer1);
    boxes.push_back(std::move(box));
    if (whileBoxOpen) whileBoxOpen();
}

void FakeView::ShowErrorBox(const std::string& text) { OpenBox({Box::Kind::Error, "Error", text}); }

void FakeView::ShowConversionErrorBox(const std::string& boxCaption, const std::string& text) {
    OpenBox({Box::Kind::Conversion, boxCaption, text});
}

void FakeView::ShowMakerInformation() { OpenBox({Box::Kind::MakerInformation, {}, {}}); }

}  // namespace vm4417::test
