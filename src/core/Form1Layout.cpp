#include "Form1Layout.h"

#include <algorithm>
#include <stdexcept>

#include "Texts.h"

namespace vm4417 {

namespace {

using enum Control;
using K = ControlKind;

constexpr ControlEntry kControls[] = {
    {Label3, "Label3", K::Label, 12, 16, 32, 13, text::kOrderHeading, false},
    {Label1, "Label1", K::Label, 64, 16, 18, 13, text::kTimeHeading, false},
    {Label2, "Label2", K::Label, 128, 16, 42, 13, text::kCodeHeading, false},
    // Image1 is listed first: it is drawn above Image2 at the same place.
    {Image1, "Image1", K::Picture, 208, 16, 17, 17, "", false},
    {Image2, "Image2", K::Picture, 208, 16, 17, 17, "", false},
    {SpeedButton1, "SpeedButton1", K::SpeedButton, 256, 8, 33, 25, ""},
    {Memo1, "Memo1", K::Memo, 12, 36, 253, 461, "", false},
    {Bevel2, "Bevel2", K::Bevel, 292, 32, 181, 185, ""},
    {Label4, "Label4", K::Label, 336, 24, 81, 13, text::kButtonsFrame},
    {BitBtn1, "BitBtn1", K::BitBtn, 312, 48, 137, 25, text::kBlockButton},
    {BitBtn2, "BitBtn2", K::BitBtn, 312, 80, 137, 25, text::kUnblockButton},
    {BitBtn3, "BitBtn3", K::BitBtn, 312, 112, 137, 25, text::kLedOnButton},
    {BitBtn4, "BitBtn4", K::BitBtn, 312, 144, 137, 25, text::kLedOffButton},
    {BitBtn5, "BitBtn5", K::BitBtn, 312, 176, 137, 25, text::kRepeatReadButton},
    {Bevel1, "Bevel1", K::Bevel, 292, 240, 181, 89, ""},
    {Label6, "Label6", K::Label, 344, 232, 66, 13, text::kRedirectFrame},
    {CheckBox1, "CheckBox1", K::CheckBox, 304, 256, 149, 17, text::kCodeToKeysBox, true, true},
    {CheckBox3, "CheckBox3", K::CheckBox, 304, 280, 141, 17, text::kOrderToKeysBox, false},
    {CheckBox4, "CheckBox4", K::CheckBox, 304, 304, 141, 17, text::kTimeToKeysBox, false},
    {Bevel3, "Bevel3", K::Bevel, 292, 352, 181, 145, ""},
    {Label7, "Label7", K::Label, 360, 344, 47, 13, text::kParametersFrame},
    {CheckBox7, "CheckBox7", K::CheckBox, 304, 368, 97, 17, text::kSoundBox},
    {CheckBox2, "CheckBox2", K::CheckBox, 304, 392, 165, 17, text::kLedOffAfterCodeBox},
    {CheckBox6, "CheckBox6", K::CheckBox, 304, 416, 97, 17, text::kSaveToDiskBox},
    {CheckBox5, "CheckBox5", K::CheckBox, 304, 440, 153, 17, text::kMinimizeBox},
    {CheckBox10, "CheckBox10", K::CheckBox, 304, 464, 97, 17, text::kDecimalBox},
    {CheckBox9, "CheckBox9", K::CheckBox, 312, 8, 97, 17, text::kCrcBox, false},
    {CheckBox8, "CheckBox8", K::CheckBox, 368, 8, 97, 17, text::kFamilyBox, false},
    // In the free strip above the buttons' frame, clear of its heading.
    {CheckBox11, "CheckBox11", K::CheckBox, 300, 8, 105, 16, text::kExactCharactersBox, true, false,
     text::kExactCharactersTip},
    {Label5, "Label5", K::Label, 8, 520, 35, 13, text::kCounterLabel},
    {Edit1, "Edit1", K::Edit, 48, 512, 113, 21, text::kCounterInitial},
    {BitBtn6, "BitBtn6", K::BitBtn, 168, 512, 97, 25, text::kResetButton},
    {BitBtn8, "BitBtn8", K::BitBtn, 280, 512, 75, 25, text::kDemo, false},
    {BitBtn7, "BitBtn7", K::BitBtn, 368, 512, 105, 25, text::kExitButton},
    {StatusBar1, "StatusBar1", K::StatusBar, 0, 544, 484, 19, text::kStatusInitial},
};

constexpr Control kTabOrder[] = {
    Memo1,     CheckBox1, CheckBox11, CheckBox2, CheckBox3, CheckBox4, CheckBox5,
    CheckBox6, CheckBox7, Edit1,      BitBtn1,   BitBtn2,   BitBtn3,   BitBtn4,
    BitBtn5,   BitBtn6,   BitBtn7,    BitBtn8,   CheckBox8, CheckBox9, CheckBox10,
};

}  // namespace

std::span<const ControlEntry> Form1Controls() { return kControls; }

const ControlEntry& Form1Control(Control id) {
    const auto* found = std::find_if(std::begin(kControls), std::end(kControls),
                                     [id](const ControlEntry& c) { return c.id == id; });
    if (found == std::end(kControls)) throw std::out_of_range("no such control");
    return *found;
}

std::span<const Control> Form1TabOrder() { return kTabOrder; }

}  // namespace vm4417
