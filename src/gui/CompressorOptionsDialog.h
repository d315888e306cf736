#pragma once
// The configuration dialog of a compressor: its own options (bit rate, quality, ...) with the
// values in effect, editable. What is set stays with the compressor for the rest of the run,
// so it reaches the join.
#include <functional>

class QDialog;
class QWidget;

namespace rw {

class TCompressorFilter;

// Shows the dialog modally and returns its result; tests replace it to answer for the user.
using TModalRunner = std::function<int(QDialog& Dialog)>;
TModalRunner& CompressorOptionsRunner();

// Shows Filter's options; false (and nothing shown) when the compressor has none.
bool ShowCompressorOptions(QWidget* Parent, TCompressorFilter& Filter);

}  // namespace rw
