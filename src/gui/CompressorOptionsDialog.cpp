#include "gui/CompressorOptionsDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
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

// Sets every changed value; the names of the options the compressor refused.
std::string ApplyChanges(QTableWidget& Table, const std::vector<TCompressorOptionInfo>& Options,
                         TCompressorFilter& Filter) {
  std::string refused;
  for (int row = 0; row < Table.rowCount(); ++row) {
    const std::string value = TextFromQ(Table.item(row, colValue)->text());
    const TCompressorOptionInfo& option = Options[static_cast<size_t>(row)];
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

  QDialog dialog(Parent);
  dialog.setObjectName("frmCompressorOptions");
  dialog.setWindowTitle(TextToQ(Filter.EncoderName() + " options"));
  auto* table = new QTableWidget(static_cast<int>(options.size()), 3, &dialog);
  table->setHorizontalHeaderLabels({"Option", "Value", "Description"});
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  for (size_t i = 0; i < options.size(); ++i) {
    const int row = static_cast<int>(i);
    auto* name = new QTableWidgetItem(TextToQ(options[i].Name));
    name->setFlags(name->flags() & ~Qt::ItemIsEditable);
    auto* help = new QTableWidgetItem(TextToQ(options[i].Help));
    help->setFlags(help->flags() & ~Qt::ItemIsEditable);
    table->setItem(row, colName, name);
    table->setItem(row, colValue, new QTableWidgetItem(TextToQ(options[i].Value)));
    table->setItem(row, colHelp, help);
  }
  table->resizeColumnsToContents();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    const std::string refused = ApplyChanges(*table, options, Filter);
    if (!refused.empty()) {
      ShowMessageBox(&dialog, "The compressor does not accept the value of: " + refused,
                     TMessageKind::mkWarning, TMessageButtons::mbOK);
      return;
    }
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(table);
  layout->addWidget(buttons);
  dialog.resize(560, 380);
  CompressorOptionsRunner()(dialog);
  return true;
}

}  // namespace rw
