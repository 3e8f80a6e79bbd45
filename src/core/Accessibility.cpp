#include "Accessibility.h"

#include <algorithm>
#include <iterator>

#include "Form1Layout.h"
#include "Texts.h"

namespace vm4417 {

namespace {

using enum Control;

// The pictures start dark: start-up shows the dark LED first.
constexpr AccessibleEntry kEntries[] = {
    {Image1, text::kLedDarkName, {}, text::kLedDescription},
    {Image2, text::kLedDarkName, {}, text::kLedDescription},
    {SpeedButton1, text::kMakerCaption, {}, text::kMakerButtonDescription},
    {Memo1, text::kListName, {}, text::kListDescription},
    // The frames carry the titles that sit on their top edges.
    {Bevel2, {}, Label4},
    {Bevel1, {}, Label6},
    {Bevel3, {}, Label7},
    {Edit1, {}, Label5, text::kCounterDescription},
    {StatusBar1, text::kStatusBarName},
    {BitBtn1, {}, {}, text::kBlockDescription},
    {BitBtn5, {}, {}, text::kRepeatReadDescription},
    {BitBtn6, {}, {}, text::kResetDescription},
    {BitBtn7, {}, {}, text::kExitDescription},
    {BitBtn8, {}, {}, text::kDemoDescription},
    {CheckBox1, {}, {}, text::kCodeToKeysDescription},
    {CheckBox2, {}, {}, text::kLedOffAfterCodeDescription},
    {CheckBox3, {}, {}, text::kOrderToKeysDescription},
    {CheckBox4, {}, {}, text::kTimeToKeysDescription},
    {CheckBox5, {}, {}, text::kMinimizeDescription},
    {CheckBox6, {}, {}, text::kSaveToDiskDescription},
    {CheckBox7, {}, {}, text::kSoundDescription},
    {CheckBox10, {}, {}, text::kDecimalDescription},
    {CheckBox11, {}, {}, text::kExactCharactersTip},
};

}  // namespace

AccessibleEntry Form1Accessible(Control control) {
    const auto* found =
        std::find_if(std::begin(kEntries), std::end(kEntries),
                     [control](const AccessibleEntry& e) { return e.id == control; });
    return found == std::end(kEntries) ? AccessibleEntry{control} : *found;
}

std::string_view Form1AccessibleName(Control control) {
    const AccessibleEntry entry = Form1Accessible(control);
    if (!entry.name.empty()) return entry.name;
    if (entry.label) return Form1Control(*entry.label).text;
    return Form1Control(control).text;
}

std::string_view LedIndicatorName(bool lit) { return lit ? text::kLedLitName : text::kLedDarkName; }

}  // namespace vm4417
