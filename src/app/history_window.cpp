#include "history_window.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cstdio>

#include "history/history_time.h"
#include "main_window.h"
#include "qt_render.h"

namespace tarnwick {
namespace {

constexpr char kHistoryMenuCaption[] = "&History";
constexpr char kCpuTitle[] = "CPU %";
constexpr char kMemTitle[] = "Memory %";

QString ShareText(double share) {
  return QString::number(share, 'f', 1);
}

QTableWidget* MakeTable(const char* name, const QStringList& headings) {
  auto* table = new QTableWidget(0, static_cast<int>(headings.size()));
  table->setObjectName(QString::fromUtf8(name));
  table->setHorizontalHeaderLabels(headings);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->verticalHeader()->setVisible(false);
  table->horizontalHeader()->setStretchLastSection(true);
  table->setWordWrap(false);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  return table;
}

void SetRow(QTableWidget& table, int row, const QStringList& cells) {
  for (int col = 0; col < cells.size(); ++col) {
    table.setItem(row, col, new QTableWidgetItem(cells[col]));
  }
}

}  // namespace

HistoryWindow::HistoryWindow(HistoryWindowModel& model, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model) {
  setObjectName(QStringLiteral("frmHistory"));
  resize(900, 820);
  auto* layout = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  cboSpan_ = new QComboBox;
  cboSpan_->setObjectName(QStringLiteral("cboSpan"));
  for (const HistorySpan& span : kHistorySpans)
    cboSpan_->addItem(ToQString(std::string(span.caption)));
  top->addWidget(cboSpan_);
  lblNote_ = new QLabel;
  lblNote_->setObjectName(QStringLiteral("lblNote"));
  top->addWidget(lblNote_, 1);
  layout->addLayout(top);

  cpuChart_ = MakeChart("cpuChart");
  memChart_ = MakeChart("memChart");
  layout->addWidget(cpuChart_, 3);
  layout->addWidget(memChart_, 3);
  lblHover_ = new QLabel;
  lblHover_->setObjectName(QStringLiteral("lblHover"));
  lblHover_->setMinimumHeight(2 * fontMetrics().height());
  lblHover_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(lblHover_);

  grdTop_ = MakeTable("grdTop", {"Process", "Kind", "On top", "Peak %", "When"});
  layout->addWidget(grdTop_, 2);
  lblSamples_ = new QLabel;
  lblSamples_->setObjectName(QStringLiteral("lblSamples"));
  layout->addWidget(lblSamples_);
  grdSamples_ = MakeTable("grdSamples", {"Time", "Kind", "Rank", "Share %", "PID"});
  layout->addWidget(grdSamples_, 1);

  connect(cboSpan_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (rendering_) return;
    model_.OnSpanClick(index);
    Render();
  });
  connect(grdTop_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    model_.OnTopDoubleClick(row);
    Render();
  });
}

QChartView* HistoryWindow::MakeChart(const char* name) {
  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setMargins(QMargins(4, 4, 4, 4));
  auto* view = new QChartView(chart);
  view->setObjectName(QString::fromUtf8(name));
  view->setRenderHint(QPainter::Antialiasing);
  view->setMouseTracking(true);
  view->viewport()->setMouseTracking(true);
  view->viewport()->installEventFilter(this);
  view->setMinimumHeight(180);
  return view;
}

qint64 HistoryWindow::AxisMs(int64_t historySeconds) {
  const LocalTime t = FromHistorySeconds(historySeconds);
  return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second))
      .toMSecsSinceEpoch();
}

int64_t HistoryWindow::HistorySecondsAt(qint64 axisMs) {
  const QDateTime at = QDateTime::fromMSecsSinceEpoch(axisMs);
  return ToHistorySeconds({at.date().year(), at.date().month(), at.date().day(), at.time().hour(),
                           at.time().minute(), at.time().second()});
}

void HistoryWindow::Render() {
  rendering_ = true;
  setWindowTitle(ToQString(model_.caption));
  if (cboSpan_->currentIndex() != model_.spanIndex) cboSpan_->setCurrentIndex(model_.spanIndex);
  lblNote_->setText(ToQString(model_.lblNote));
  lblHover_->setText(ToQString(model_.lblHover));
  RenderChart(*cpuChart_, true);
  RenderChart(*memChart_, false);
  RenderTables();
  if (model_.visible && !isVisible()) {
    show();
    raise();
    activateWindow();
  } else if (!model_.visible && isVisible()) {
    hide();
  }
  rendering_ = false;
}

void HistoryWindow::RenderChart(QChartView& view, bool cpu) {
  QChart* chart = view.chart();
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
  chart->setTitle(QString::fromUtf8(cpu ? kCpuTitle : kMemTitle));

  auto* values = new QLineSeries;
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(model_.points.size()));
  for (const SeriesPoint& p : model_.points) {
    points.append(QPointF(static_cast<qreal>(AxisMs(p.t)), cpu ? p.cpu : p.mem));
  }
  values->replace(points);
  values->setPen(QPen(cpu ? QColor(0x1f, 0x77, 0xb4) : QColor(0x2c, 0xa0, 0x2c), 1.5));
  chart->addSeries(values);

  auto* xAxis = new QDateTimeAxis;
  xAxis->setFormat(model_.to - model_.from > 86400 ? "MM-dd hh:mm" : "hh:mm");
  xAxis->setTickCount(7);
  xAxis->setRange(QDateTime::fromMSecsSinceEpoch(AxisMs(model_.from)),
                  QDateTime::fromMSecsSinceEpoch(AxisMs(model_.to)));
  auto* yAxis = new QValueAxis;
  yAxis->setRange(0, 100);
  yAxis->setLabelFormat("%d");
  yAxis->setTickCount(6);
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  values->attachAxis(xAxis);
  values->attachAxis(yAxis);

  const std::optional<int>& threshold = cpu ? model_.cpuThreshold : model_.memThreshold;
  if (threshold) {
    auto* line = new QLineSeries;
    line->append(static_cast<qreal>(AxisMs(model_.from)), *threshold);
    line->append(static_cast<qreal>(AxisMs(model_.to)), *threshold);
    line->setPen(QPen(Qt::red, 1, Qt::DashLine));
    chart->addSeries(line);
    line->attachAxis(xAxis);
    line->attachAxis(yAxis);
  }
  if (!model_.alerts.empty()) {
    auto* markers = new QScatterSeries;
    markers->setMarkerSize(9);
    markers->setColor(Qt::red);
    for (const AlertMarker& a : model_.alerts) {
      markers->append(static_cast<qreal>(AxisMs(a.t)), cpu ? a.cpu : a.mem);
    }
    chart->addSeries(markers);
    markers->attachAxis(xAxis);
    markers->attachAxis(yAxis);
  }
}

void HistoryWindow::RenderTables() {
  grdTop_->setRowCount(static_cast<int>(model_.topRows.size()));
  int row = 0;
  for (const TopSummaryRow& r : model_.topRows) {
    SetRow(*grdTop_, row++,
           {ToQString(r.name), r.kind == TopKind::Cpu ? "CPU" : "Memory",
            QString::number(r.timesOnTop), ShareText(r.peakShare),
            ToQString(HistoryTimeText(r.peakTime))});
  }
  grdTop_->resizeColumnsToContents();
  lblSamples_->setText(ToQString(model_.lblSamples));
  grdSamples_->setRowCount(static_cast<int>(model_.processSamples.size()));
  row = 0;
  for (const TopEntry& e : model_.processSamples) {
    SetRow(*grdSamples_, row++,
           {ToQString(HistoryTimeText(e.t)), e.kind == TopKind::Cpu ? "CPU" : "Memory",
            QString::number(e.rank), ShareText(e.share),
            e.pid > 0 ? QString::number(e.pid) : QString()});
  }
  grdSamples_->resizeColumnsToContents();
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    for (QChartView* view : {cpuChart_, memChart_}) {
      if (watched != view->viewport()) continue;
      const auto* move = static_cast<QMouseEvent*>(event);
      const QPointF scene = view->mapToScene(move->position().toPoint());
      const QPointF value = view->chart()->mapToValue(view->chart()->mapFromScene(scene));
      model_.OnHover(HistorySecondsAt(static_cast<qint64>(value.x())));
      lblHover_->setText(ToQString(model_.lblHover));
    }
  }
  return QWidget::eventFilter(watched, event);
}

void HistoryWindow::closeEvent(QCloseEvent* event) {
  model_.OnClose();
  event->accept();
}

QAction* AddHistoryMenu(MainWindow& window, HistoryWindowModel& model, HistoryWindow& view) {
  QAction* action = window.form().logMenu->addAction(QString::fromUtf8(kHistoryMenuCaption));
  action->setObjectName(QStringLiteral("mHistory"));
  QObject::connect(action, &QAction::triggered, &view, [&model, &view] {
    model.Show();
    view.Render();
  });
  return action;
}

}  // namespace tarnwick
