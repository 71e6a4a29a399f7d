#include "main_window_form.h"

#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/activity_log.h"
#include "log_pane.h"
#include "qt_render.h"

namespace tarnwick {

namespace {

// The widest texts of the labels that change every cycle ("8" is the widest digit in most fonts):
// a percentage, megabytes of memory (up to 10 digits: 9.3 PB) and the time of the last check.
const QString kWidestPercent = QStringLiteral("100 %");
const QString kWidestMegabytes = QStringLiteral("8888888888");
const QString kWidestTime = QStringLiteral("88:88:88 8888-88-88");

QLabel* NamedLabel(const QString& name, QWidget* parent) {
  QLabel* label = PlainLabel(QString(), parent);
  label->setObjectName(name);
  return label;
}

QLabel* FixedLabel(const QString& text, QWidget* parent) {
  return PlainLabel(text, parent);
}

QProgressBar* Gauge(const QString& name, QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setObjectName(name);
  bar->setRange(0, 100);
  bar->setValue(0);
  // The percentage stands in its own label beside the bar.
  bar->setTextVisible(false);
  return bar;
}

// Value labels right-aligned in a column wide enough for "100" and "--", so that the columns do
// not jump as the values change.
QLabel* ValueLabel(const QString& name, QWidget* parent) {
  QLabel* label = NamedLabel(name, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
  return label;
}

// A label whose text changes every cycle keeps the size of its widest text: when the text of a
// label of fixed size changes, only the label is painted again, where a label that may grow or
// shrink has the whole window laid out anew.
void KeepSizeFor(QLabel* label, const QString& widest) {
  const QString text = label->text();
  label->setText(widest);
  const QSize size = label->sizeHint().expandedTo(label->minimumSize());
  label->setText(text);
  label->setFixedSize(size);
}

struct ProgramRow {
  QLabel* name;
  QLabel* value;
  QLabel* setting;
  QLabel* count;
  QLabel* alertAt;
};

// "value /setting" centred in a cell; the setting's caption brings its own "/".
QLayout* Pair(QLabel* left, QLabel* right) {
  auto* pair = new QHBoxLayout;
  pair->setSpacing(3);
  pair->addStretch(1);
  pair->addWidget(left);
  pair->addWidget(right);
  pair->addStretch(1);
  right->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return pair;
}

// The program monitor inside a frame, from `row` of `grid` on: the program's name on its own
// line, then the two headings with their pairs of values beneath.
void AddProgramRows(QGridLayout& grid, int row, QWidget* frame, const ProgramRow& names) {
  grid.addWidget(names.name, row, 0, 1, 3);
  auto* table = new QGridLayout;
  table->setVerticalSpacing(2);
  for (int column = 0; column < 2; ++column) {
    QLabel* heading = FixedLabel(
        QString::fromUtf8(column == 0 ? kProgramValueHeading : kProgramCountHeading), frame);
    heading->setAlignment(Qt::AlignCenter);
    table->addWidget(heading, 0, column);
    table->setColumnStretch(column, 1);
  }
  table->addLayout(Pair(names.value, names.setting), 1, 0);
  table->addLayout(Pair(names.count, names.alertAt), 1, 1);
  grid.addLayout(table, row + 1, 0, 1, 3);
}

// "Exceed count: n /10" on the left, "Threshold: t%" on the right.
void AddCountRow(QGridLayout& grid, int row, QWidget* frame, QLabel* count, QLabel* of,
                 QLabel* threshold) {
  auto* line = new QHBoxLayout;
  line->addWidget(FixedLabel(QString::fromUtf8(kExceedCountCaption), frame));
  line->addWidget(count);
  line->addWidget(of);
  line->addStretch(1);
  line->addWidget(FixedLabel(QString::fromUtf8(kThresholdCaption), frame));
  line->addWidget(threshold);
  grid.addLayout(line, row, 0, 1, 3);
}

void BuildMenus(QMainWindow& window, MainWindowForm& form) {
  auto addAction = [](QMenu* menu, const char* name) {
    QAction* action = menu->addAction(QString());
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  form.fileMenu = window.menuBar()->addMenu(QString::fromUtf8(kFileMenuTitle));
  form.fileMenu->setObjectName(QStringLiteral("mnuFile"));
  form.Setup = addAction(form.fileMenu, "Setup");
  form.mPGMSetup = addAction(form.fileMenu, "mPGMSetup");
  form.SMTPsetup = addAction(form.fileMenu, "SMTPsetup");
  form.Login = addAction(form.fileMenu, "Login");
  form.mStart = addAction(form.fileMenu, "mStart");
  form.fileMenu->addSeparator();
  form.mAutostart = addAction(form.fileMenu, "mAutostart");
  form.mNotify = addAction(form.fileMenu, "mNotify");
  form.mnuQuit = addAction(form.fileMenu, "mnuQuit");
  form.logMenu = window.menuBar()->addMenu(QString::fromUtf8(kLogMenuTitle));
  form.logMenu->setObjectName(QStringLiteral("mnuLog"));
  form.mViewLog = addAction(form.logMenu, "mViewLog");
}

QGroupBox* BuildCpuFrame(QWidget* parent, MainWindowForm& form) {
  auto* frame = new QGroupBox(parent);
  frame->setObjectName(QStringLiteral("Frame1"));
  auto* grid = new QGridLayout(frame);
  grid->setContentsMargins(8, 8, 8, 8);
  form.CPU_Progress = Gauge(QStringLiteral("CPU_Progress"), frame);
  form.lblCPUValue[0] = ValueLabel(QStringLiteral("lblCPUValue[0]"), frame);
  KeepSizeFor(form.lblCPUValue[0], kWidestPercent);
  grid->addWidget(form.CPU_Progress, 0, 0, 1, 2);
  grid->addWidget(form.lblCPUValue[0], 0, 2);

  form.lblCPU_count = NamedLabel(QStringLiteral("lblCPU_count"), frame);
  form.lblNum_count[0] = NamedLabel(QStringLiteral("lblNum_count[0]"), frame);
  form.lbl_Threshold[0] = NamedLabel(QStringLiteral("lbl_Threshold[0]"), frame);
  // Row 1 stays empty and takes up the height of the memory frame's three figures, so that the
  // count and program lines of both frames stand level.
  grid->setRowStretch(1, 1);
  AddCountRow(*grid, 2, frame, form.lblCPU_count, form.lblNum_count[0], form.lbl_Threshold[0]);

  form.Label6[0] = NamedLabel(QStringLiteral("Label6[0]"), frame);
  form.pgmCPU = ValueLabel(QStringLiteral("pgmCPU"), frame);
  form.pgmCPU_Setting = ValueLabel(QStringLiteral("pgmCPU_Setting"), frame);
  form.pgmCPU_count = ValueLabel(QStringLiteral("pgmCPU_count"), frame);
  form.pgmCPU_Warn = ValueLabel(QStringLiteral("pgmCPU_Warn"), frame);
  AddProgramRows(
      *grid, 3, frame,
      {form.Label6[0], form.pgmCPU, form.pgmCPU_Setting, form.pgmCPU_count, form.pgmCPU_Warn});
  grid->setColumnStretch(0, 1);
  return frame;
}

QGroupBox* BuildMemoryFrame(QWidget* parent, MainWindowForm& form) {
  auto* frame = new QGroupBox(parent);
  frame->setObjectName(QStringLiteral("Frame3"));
  auto* grid = new QGridLayout(frame);
  grid->setContentsMargins(8, 8, 8, 8);
  form.RAM_Progress = Gauge(QStringLiteral("RAM_Progress"), frame);
  form.lblCPUValue[1] = ValueLabel(QStringLiteral("lblCPUValue[1]"), frame);
  KeepSizeFor(form.lblCPUValue[1], kWidestPercent);
  grid->addWidget(form.RAM_Progress, 0, 0, 1, 2);
  grid->addWidget(form.lblCPUValue[1], 0, 2);

  // Total, Free and Used side by side, each caption above its value.
  auto* figures = new QGridLayout;
  for (int i = 0; i < 3; ++i) {
    form.lblRamDisp[i] = NamedLabel(QStringLiteral("lblRamDisp[%1]").arg(i), frame);
    form.lblRamValue[i] = NamedLabel(QStringLiteral("lblRamValue[%1]").arg(i), frame);
    form.lblRamDisp[i]->setAlignment(Qt::AlignCenter);
    form.lblRamValue[i]->setAlignment(Qt::AlignCenter);
    KeepSizeFor(form.lblRamValue[i], kWidestMegabytes);
    figures->addWidget(form.lblRamDisp[i], 0, i);
    figures->addWidget(form.lblRamValue[i], 1, i);
    figures->setColumnStretch(i, 1);
  }
  grid->addLayout(figures, 1, 0, 1, 3);

  form.lblmem_Count = NamedLabel(QStringLiteral("lblmem_Count"), frame);
  form.lblNum_count[1] = NamedLabel(QStringLiteral("lblNum_count[1]"), frame);
  form.lbl_Threshold[1] = NamedLabel(QStringLiteral("lbl_Threshold[1]"), frame);
  AddCountRow(*grid, 2, frame, form.lblmem_Count, form.lblNum_count[1], form.lbl_Threshold[1]);

  form.Label6[2] = NamedLabel(QStringLiteral("Label6[2]"), frame);
  form.pgmMEM = ValueLabel(QStringLiteral("pgmMEM"), frame);
  form.pgmMEM_Setting = ValueLabel(QStringLiteral("pgmMEM_Setting"), frame);
  form.pgmMEM_Count = ValueLabel(QStringLiteral("pgmMEM_Count"), frame);
  form.pgmMEM_Alert = ValueLabel(QStringLiteral("pgmMEM_Alert"), frame);
  AddProgramRows(
      *grid, 3, frame,
      {form.Label6[2], form.pgmMEM, form.pgmMEM_Setting, form.pgmMEM_Count, form.pgmMEM_Alert});
  grid->setColumnStretch(0, 1);
  return frame;
}

// The start/stop button with the cycle and alert captions beside it, the service account line
// and the time of the last check.
QLayout* BuildStatusArea(QWidget* parent, MainWindowForm& form) {
  auto* area = new QGridLayout;
  form.Command1 = new QPushButton(parent);
  form.Command1->setObjectName(QStringLiteral("Command1"));
  form.Command1->setMinimumSize(96, 40);
  QFont bold = form.Command1->font();
  bold.setBold(true);
  form.Command1->setFont(bold);
  // Keeps the back colour visible whatever the style draws for flat buttons.
  form.Command1->setAutoFillBackground(true);
  area->addWidget(form.Command1, 0, 0, 2, 1);

  form.lblTimeinterval = NamedLabel(QStringLiteral("lblTimeinterval"), parent);
  form.lblNum = NamedLabel(QStringLiteral("lblNum"), parent);
  area->addWidget(form.lblTimeinterval, 0, 1, 1, 2);
  area->addWidget(form.lblNum, 1, 1, 1, 2);

  form.Label5 = NamedLabel(QStringLiteral("Label5"), parent);
  form.lbl_lastTime = NamedLabel(QStringLiteral("lbl_lastTime"), parent);
  KeepSizeFor(form.lbl_lastTime, kWidestTime);
  auto* lastCheck = new QHBoxLayout;
  lastCheck->addWidget(form.Label5);
  lastCheck->addWidget(form.lbl_lastTime);
  lastCheck->addStretch(1);
  area->addLayout(lastCheck, 2, 0, 1, 3);

  // The service account line can be a whole sentence (the reason for not being logged in); it
  // wraps rather than widening the window.
  form.Label4 = NamedLabel(QStringLiteral("Label4"), parent);
  form.Label4->setWordWrap(true);
  form.Label7 = NamedLabel(QStringLiteral("Label7"), parent);
  area->addWidget(form.Label4, 3, 0, 1, 2);
  area->addWidget(form.Label7, 3, 2, Qt::AlignRight | Qt::AlignTop);
  area->setColumnStretch(1, 1);
  return area;
}

}  // namespace

MainWindowForm BuildMainWindowForm(QMainWindow& window) {
  MainWindowForm form;
  BuildMenus(window, form);

  auto* central = new QWidget(&window);
  central->setObjectName(QStringLiteral("central"));
  auto* column = new QVBoxLayout(central);
  auto* frames = new QHBoxLayout;
  form.Frame1 = BuildCpuFrame(central, form);
  form.Frame3 = BuildMemoryFrame(central, form);
  frames->addWidget(form.Frame1, 1);
  frames->addWidget(form.Frame3, 1);
  column->addLayout(frames);
  column->addLayout(BuildStatusArea(central, form));

  form.txtLog = new LogPane(ActivityLog::kPaneLineLimit, central);
  form.txtLog->setObjectName(QStringLiteral("txtLog"));
  column->addWidget(form.txtLog, 1);
  window.setCentralWidget(central);
  return form;
}

}  // namespace tarnwick
