#include "processes_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QVBoxLayout>

#include "log_menu.h"
#include "main_window.h"
#include "qt_render.h"
#include "theme_colours.h"

namespace tarnwick {
namespace {

constexpr char kProcessesMenuCaption[] = "&Processes";
constexpr char kMarkedTip[] = "The process an alert now would terminate";
constexpr const char* kGridNames[] = {"grdCpu", "grdMemory"};
constexpr const char* kCaptionNames[] = {"lblCpuCaption", "lblMemoryCaption"};
constexpr const char* kMarkedNames[] = {"lblCpuMarked", "lblMemoryMarked"};

QLabel* PlainLabel(const char* name, bool wrap) {
  auto* label = new QLabel;
  label->setObjectName(QString::fromUtf8(name));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(wrap);
  return label;
}

}  // namespace

ProcessesWindow::ProcessesWindow(ProcessesWindowModel& model, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model) {
  setObjectName(QStringLiteral("frmProcesses"));
  auto* layout = new QVBoxLayout(this);
  lblNote_ = PlainLabel("lblNote", true);
  layout->addWidget(lblNote_);
  auto* lists = new QHBoxLayout;
  QStringList headings;
  for (const std::string_view heading : kProcessColumns)
    headings << ToQString(std::string(heading));
  for (size_t i = 0; i < grids_.size(); ++i) {
    auto* column = new QVBoxLayout;
    captions_[i] = PlainLabel(kCaptionNames[i], false);
    QFont bold = captions_[i]->font();
    bold.setBold(true);
    captions_[i]->setFont(bold);
    column->addWidget(captions_[i]);
    auto* grid = new QTableWidget(0, static_cast<int>(headings.size()));
    grid->setObjectName(QString::fromUtf8(kGridNames[i]));
    grid->setHorizontalHeaderLabels(headings);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid->horizontalHeader()->setSectionResizeMode(static_cast<int>(ProcessColumn::Name),
                                                   QHeaderView::Stretch);
    grid->horizontalHeader()->setSectionsClickable(true);
    grid->horizontalHeader()->setSortIndicatorShown(true);
    grid->setWordWrap(false);
    grids_[i] = grid;
    column->addWidget(grid, 1);
    marked_[i] = PlainLabel(kMarkedNames[i], true);
    marked_[i]->setMinimumHeight(3 * marked_[i]->fontMetrics().lineSpacing());
    marked_[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    column->addWidget(marked_[i]);
    lists->addLayout(column, 1);
    connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this, i](int col) {
      model_.OnHeaderClick(i, col);
      Render();
    });
  }
  layout->addLayout(lists, 1);
  model_.changed = [this] { Render(); };
}

ProcessesWindow::~ProcessesWindow() {
  model_.changed = nullptr;
  // The program ends with the window open: no hide event reaches this class any more.
  if (isVisible()) placement_.Remember(*this);
}

void ProcessesWindow::Render() {
  setWindowTitle(ToQString(model_.caption));
  lblNote_->setText(ToQString(model_.lblNote));
  lblNote_->setVisible(!model_.lblNote.empty());
  for (size_t i = 0; i < grids_.size(); ++i) RenderTable(i);
  if (model_.visible && !isVisible()) {
    placement_.Apply(*this);
    show();
    raise();
    activateWindow();
  } else if (!model_.visible && isVisible()) {
    hide();
  }
}

void ProcessesWindow::RenderTable(size_t index) {
  const ProcessTable& table = model_.tables[index];
  QTableWidget& grid = *grids_[index];
  captions_[index]->setText(ToQString(table.caption));
  marked_[index]->setText(ToQString(table.lblMarked));
  grid.horizontalHeader()->setSortIndicator(
      static_cast<int>(table.sortColumn),
      table.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  grid.setRowCount(static_cast<int>(table.rows.size()));
  const QBrush plainBack = grid.palette().base();
  const QBrush markedBack(MarkedRowColour(grid.palette()));
  QFont plainFont = grid.font();
  QFont boldFont = plainFont;
  boldFont.setBold(true);
  for (size_t r = 0; r < table.rows.size(); ++r) {
    const ProcessRow& row = table.rows[r];
    for (size_t c = 0; c < row.cells.size(); ++c) {
      QTableWidgetItem* item = grid.item(static_cast<int>(r), static_cast<int>(c));
      if (item == nullptr) {
        item = new QTableWidgetItem;
        grid.setItem(static_cast<int>(r), static_cast<int>(c), item);
      }
      const QString text = ToQString(row.cells[c]);
      if (item->text() != text) item->setText(text);
      const auto column = static_cast<ProcessColumn>(c);
      const bool number = column == ProcessColumn::Pid || column == ProcessColumn::Cpu ||
                          column == ProcessColumn::Memory;
      item->setTextAlignment(number ? Qt::AlignRight | Qt::AlignVCenter
                                    : Qt::AlignLeft | Qt::AlignVCenter);
      item->setFont(row.marked ? boldFont : plainFont);
      item->setBackground(row.marked ? markedBack : plainBack);
      item->setToolTip(row.marked ? QString::fromUtf8(kMarkedTip) : QString());
    }
  }
}

// Escape and Ctrl+W close the window, as they close the desktop's other windows; the lists leave
// both keys to it.
void ProcessesWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Close)) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void ProcessesWindow::hideEvent(QHideEvent* event) {
  placement_.Remember(*this);
  QWidget::hideEvent(event);
}

void ProcessesWindow::closeEvent(QCloseEvent* event) {
  model_.OnClose();
  event->accept();
}

QAction* AddProcessesMenu(MainWindow& window, ProcessesWindowModel& model, ProcessesWindow& view) {
  return AddLogMenuWindow(window, kProcessesMenuCaption, QStringLiteral("mProcesses"), model, view);
}

}  // namespace tarnwick
