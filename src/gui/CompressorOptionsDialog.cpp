#include "gui/CompressorOptionsDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "gui/MessageBoxes.h"
#include "gui/QtStrings.h"
#include "recompress/CompressorList.h"

namespace rw {

TModalRunner& CompressorOptionsRunner() {
  static TModalRunner runner = [](QDialog& Dialog) { return Dialog.exec(); };
  return runner;
}

namespace {

enum { colName, colValue, colHelp };

// The options that decide quality and size, in the order they are shown first: quality or
// quantizer, then bit rate.
const char* const MainOptionNames[] = {"qscale",         "crf",     "qp",  "q",
                                       "global_quality", "quality", "vbr", "b"};

int MainRank(const std::string& Name) {
  for (size_t i = 0; i < std::size(MainOptionNames); ++i)
    if (Name == MainOptionNames[i]) return static_cast<int>(i);
  return -1;
}

// A table of options and what they were when it was filled.
struct TOptionTable {
  QTableWidget* Table = nullptr;
  std::vector<TCompressorOptionInfo> Options;
};

QTableWidget* NewOptionTable(QWidget* Parent, const char* Name,
                             const std::vector<TCompressorOptionInfo>& Options) {
  auto* table = new QTableWidget(static_cast<int>(Options.size()), 3, Parent);
  table->setObjectName(Name);
  table->setHorizontalHeaderLabels({"Option", "Value", "Description"});
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  for (size_t i = 0; i < Options.size(); ++i) {
    const int row = static_cast<int>(i);
    auto* name = new QTableWidgetItem(TextToQ(Options[i].Name));
    name->setFlags(name->flags() & ~Qt::ItemIsEditable);
    auto* help = new QTableWidgetItem(TextToQ(Options[i].Help));
    help->setFlags(help->flags() & ~Qt::ItemIsEditable);
    table->setItem(row, colName, name);
    table->setItem(row, colValue, new QTableWidgetItem(TextToQ(Options[i].Value)));
    table->setItem(row, colHelp, help);
  }
  table->resizeColumnsToContents();
  return table;
}

// Sets every changed value; the names of the options the compressor refused.
std::string ApplyChanges(const std::vector<TOptionTable>& Tables, TCompressorFilter& Filter) {
  std::string refused;
  for (const TOptionTable& t : Tables)
    for (int row = 0; row < t.Table->rowCount(); ++row) {
      const std::string value = TextFromQ(t.Table->item(row, colValue)->text());
      const TCompressorOptionInfo& option = t.Options[static_cast<size_t>(row)];
      if (value == option.Value) continue;
      try {
        Filter.SetOption(option.Name, value);
      } catch (const std::exception&) {
        refused += (refused.empty() ? "" : ", ") + option.Name;
      }
    }
  return refused;
}

}  // namespace

bool ShowCompressorOptions(QWidget* Parent, TCompressorFilter& Filter) {
  std::vector<TCompressorOptionInfo> options;
  try {
    options = Filter.ListOptions();
  } catch (const std::exception&) {
    return false;
  }
  if (options.empty()) return false;

  // What decides quality and size comes first; the rest waits under "Advanced".
  std::vector<TCompressorOptionInfo> main, advanced;
  for (TCompressorOptionInfo& o : options) (MainRank(o.Name) >= 0 ? main : advanced).push_back(o);
  std::stable_sort(main.begin(), main.end(), [](const auto& A, const auto& B) {
    return MainRank(A.Name) < MainRank(B.Name);
  });

  QDialog dialog(Parent);
  dialog.setObjectName("frmCompressorOptions");
  dialog.setWindowTitle(TextToQ(Filter.EncoderName() + " options"));
  auto* layout = new QVBoxLayout(&dialog);
  std::vector<TOptionTable> tables;
  if (!main.empty()) {
    auto* caption = new QLabel("Quality and size", &dialog);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    layout->addWidget(caption);
    tables.push_back({NewOptionTable(&dialog, "tblMainOptions", main), main});
    layout->addWidget(tables.back().Table);
  }
  if (!advanced.empty()) {
    auto* toggle = new QToolButton(&dialog);
    toggle->setObjectName("btnAdvanced");
    toggle->setText("Advanced");
    toggle->setCheckable(true);
    toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle->setAutoRaise(true);
    tables.push_back({NewOptionTable(&dialog, "tblAdvancedOptions", advanced), advanced});
    QTableWidget* table = tables.back().Table;
    // Open from the start when there is nothing else to show.
    auto open = [toggle, table](bool Open) {
      toggle->setArrowType(Open ? Qt::DownArrow : Qt::RightArrow);
      table->setVisible(Open);
    };
    QObject::connect(toggle, &QToolButton::toggled, &dialog, open);
    toggle->setChecked(main.empty());
    open(main.empty());
    layout->addWidget(toggle);
    layout->addWidget(table, 1);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    const std::string refused = ApplyChanges(tables, Filter);
    if (!refused.empty()) {
      ShowMessageBox(&dialog, "The compressor does not accept the value of: " + refused,
                     TMessageKind::mkWarning, TMessageButtons::mbOK);
      return;
    }
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addStretch(0);
  layout->addWidget(buttons);
  dialog.resize(560, 380);
  CompressorOptionsRunner()(dialog);
  return true;
}

}  // namespace rw
