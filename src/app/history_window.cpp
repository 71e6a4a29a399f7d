#include "history_window.h"

#include <QAction>
#include <QBuffer>
#include <QButtonGroup>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeySequence>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRubberBand>
#include <QScatterSeries>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cstdlib>

#include "common/numbers.h"
#include "domain/history_time.h"
#include "log_menu.h"
#include "main_window.h"
#include "qt_render.h"
#include "theme_colours.h"

namespace tarnwick {
namespace {

constexpr char kHistoryMenuCaption[] = "&History";
constexpr char kCpuTitle[] = "CPU %";
constexpr char kMemTitle[] = "Memory %";
constexpr char kEventsTab[] = "Events";
constexpr char kTopTab[] = "Top processes";
constexpr char kSpanPrompt[] = "Span:";
constexpr char kShowPrompt[] = "Show:";
// A marker's tip stays while the pointer is within this many pixels around it, for up to this long.
constexpr int kMarkerTipArea = 24;
constexpr int kMarkerTipMs = 10 * 60 * 1000;
// A drag shorter than this many pixels is a click.
constexpr int kDragPixels = 4;

const QColor kCpuColour(0x1f, 0x77, 0xb4);
const QColor kMemColour(0x2c, 0xa0, 0x2c);
const QColor kLogOnlyColour(0xff, 0x7f, 0x0e);

QString ShareText(double share) {
  return QString::fromStdString(OneDecimal(share));
}

QTableWidget* MakeTable(const char* name, const QStringList& headings) {
  auto* table = new QTableWidget(0, static_cast<int>(headings.size()));
  table->setObjectName(QString::fromUtf8(name));
  table->setHorizontalHeaderLabels(headings);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->verticalHeader()->setVisible(false);
  table->horizontalHeader()->setStretchLastSection(true);
  table->setWordWrap(false);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  return table;
}

// Sets the cell's text, reusing its item; table items show their text as plain text.
QTableWidgetItem* SetCell(QTableWidget& table, int row, int col, const QString& text) {
  QTableWidgetItem* item = table.item(row, col);
  if (item == nullptr) {
    item = new QTableWidgetItem(text);
    table.setItem(row, col, item);
  } else if (item->text() != text) {
    item->setText(text);
  }
  return item;
}

void SetRow(QTableWidget& table, int row, const QStringList& cells) {
  for (int col = 0; col < cells.size(); ++col) SetCell(table, row, col, cells[col]);
}

QScatterSeries* MakeMarkers(const QColor& fill, const QColor& border, qreal size) {
  auto* markers = new QScatterSeries;
  markers->setMarkerSize(size);
  markers->setColor(fill);
  markers->setBorderColor(border);
  return markers;
}

}  // namespace

FixedTextLabel::FixedTextLabel(int lines, QWidget* parent) : QLabel(parent), lines_(lines) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  const QMargins m = contentsMargins();
  setFixedHeight(lines_ * fontMetrics().lineSpacing() + m.top() + m.bottom() + 2);
}

void FixedTextLabel::SetFullText(const QString& text) {
  if (text == full_) return;
  full_ = text;
  Elide();
}

QSize FixedTextLabel::minimumSizeHint() const {
  return {0, height()};
}

QSize FixedTextLabel::sizeHint() const {
  return {0, height()};
}

void FixedTextLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void FixedTextLabel::Elide() {
  const int width = std::max(0, contentsRect().width());
  QStringList lines = full_.split(QLatin1Char('\n'));
  while (lines.size() > lines_) lines.removeLast();
  bool cut = lines.size() < full_.count(QLatin1Char('\n')) + 1;
  for (QString& line : lines) {
    const QString elided = fontMetrics().elidedText(line, Qt::ElideRight, width);
    cut = cut || elided != line;
    line = elided;
  }
  setText(lines.join(QLatin1Char('\n')));
  setToolTip(cut ? PlainToolTip(full_) : QString());
}

HistoryWindow::HistoryWindow(HistoryWindowModel& model, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model) {
  setObjectName(QStringLiteral("frmHistory"));
  auto* layout = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QString::fromUtf8(kSpanPrompt)));
  auto* spans = new QButtonGroup(this);
  spans->setExclusive(true);
  for (size_t i = 0; i < kHistorySpans.size(); ++i) {
    auto* button = new QPushButton(ToQString(std::string(kHistorySpans[i].caption)));
    button->setObjectName(QStringLiteral("cmdSpan%1").arg(i));
    button->setCheckable(true);
    button->setAutoDefault(false);
    spans->addButton(button, static_cast<int>(i));
    spanButtons_.push_back(button);
    top->addWidget(button);
  }
  cmdZoomBack_ = new QPushButton;
  cmdZoomBack_->setObjectName(QStringLiteral("cmdZoomBack"));
  top->addWidget(cmdZoomBack_);
  lblNote_ = new FixedTextLabel(1);
  lblNote_->setObjectName(QStringLiteral("lblNote"));
  top->addWidget(lblNote_, 1);
  layout->addLayout(top);

  graphs_ = new QWidget;
  graphs_->setObjectName(QStringLiteral("graphs"));
  auto* graphsLayout = new QVBoxLayout(graphs_);
  graphsLayout->setContentsMargins(0, 0, 0, 0);
  cpuChart_ = MakeChart("cpuChart");
  memChart_ = MakeChart("memChart");
  graphsLayout->addWidget(cpuChart_);
  graphsLayout->addWidget(memChart_);
  layout->addWidget(graphs_, 5);

  // The exports beside the text under the pointer rather than in the top row, so the window lays
  // out on an 800 pixel wide screen.
  auto* hoverRow = new QHBoxLayout;
  lblHover_ = new FixedTextLabel(2);
  lblHover_->setObjectName(QStringLiteral("lblHover"));
  hoverRow->addWidget(lblHover_, 1);
  cmdExportCsv_ = new QPushButton;
  cmdExportCsv_->setObjectName(QStringLiteral("cmdExportCsv"));
  hoverRow->addWidget(cmdExportCsv_);
  cmdSavePicture_ = new QPushButton;
  cmdSavePicture_->setObjectName(QStringLiteral("cmdSavePicture"));
  hoverRow->addWidget(cmdSavePicture_);
  layout->addLayout(hoverRow);

  tabs_ = new QTabWidget;
  tabs_->setObjectName(QStringLiteral("tabs"));
  auto* events = new QWidget;
  auto* eventsLayout = new QVBoxLayout(events);
  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(new QLabel(QString::fromUtf8(kShowPrompt)));
  cboEventFilter_ = new QComboBox;
  cboEventFilter_->setObjectName(QStringLiteral("cboEventFilter"));
  for (const EventFilter& filter : kEventFilters) {
    cboEventFilter_->addItem(ToQString(std::string(filter.caption)));
  }
  filterRow->addWidget(cboEventFilter_);
  filterRow->addStretch(1);
  eventsLayout->addLayout(filterRow);
  QStringList eventHeadings;
  for (const std::string_view heading : kEventColumns) {
    eventHeadings << ToQString(std::string(heading));
  }
  grdEvents_ = MakeTable("grdEvents", eventHeadings);
  grdEvents_->horizontalHeader()->setSectionsClickable(true);
  grdEvents_->horizontalHeader()->setSortIndicatorShown(true);
  // By pixels, so that a refresh can keep a row exactly where it was.
  grdEvents_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  eventsLayout->addWidget(grdEvents_);
  tabs_->addTab(events, QString::fromUtf8(kEventsTab));

  auto* tops = new QWidget;
  auto* topsLayout = new QVBoxLayout(tops);
  grdTop_ = MakeTable("grdTop", {"Process", "Kind", "On top", "Peak %", "When"});
  topsLayout->addWidget(grdTop_, 2);
  lblSamples_ = new QLabel;
  lblSamples_->setObjectName(QStringLiteral("lblSamples"));
  lblSamples_->setTextFormat(Qt::PlainText);
  topsLayout->addWidget(lblSamples_);
  grdSamples_ = MakeTable("grdSamples", {"Time", "Kind", "Rank", "Share %", "PID"});
  topsLayout->addWidget(grdSamples_, 1);
  tabs_->addTab(tops, QString::fromUtf8(kTopTab));
  layout->addWidget(tabs_, 4);

  tmrRefresh_ = new QTimer(this);
  tmrRefresh_->setObjectName(QStringLiteral("tmrRefresh"));
  band_ = new QRubberBand(QRubberBand::Rectangle, this);
  band_->hide();
  model_.pictureEncoder = [this](std::ostream& out) { return EncodePicture(out); };

  auto forward = [this](auto&& handler) {
    if (rendering_) return;
    handler();
    Render();
  };
  connect(spans, &QButtonGroup::idClicked, this,
          [this, forward](int index) { forward([&] { model_.OnSpanClick(index); }); });
  connect(cmdZoomBack_, &QPushButton::clicked, this,
          [this, forward] { forward([&] { model_.OnZoomBackClick(); }); });
  connect(cmdExportCsv_, &QPushButton::clicked, this,
          [this, forward] { forward([&] { model_.OnExportCsvClick(); }); });
  connect(cmdSavePicture_, &QPushButton::clicked, this,
          [this, forward] { forward([&] { model_.OnSavePictureClick(); }); });
  connect(cboEventFilter_, &QComboBox::currentIndexChanged, this,
          [this, forward](int index) { forward([&] { model_.OnEventFilterClick(index); }); });
  connect(grdEvents_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this, forward](int column) { forward([&] { model_.OnEventHeaderClick(column); }); });
  connect(grdEvents_, &QTableWidget::currentCellChanged, this,
          [this, forward](int row) { forward([&] { model_.OnEventSelect(row); }); });
  connect(grdTop_, &QTableWidget::cellDoubleClicked, this,
          [this, forward](int row) { forward([&] { model_.OnTopDoubleClick(row); }); });
  connect(tmrRefresh_, &QTimer::timeout, this, [this] {
    if (rendering_) return;
    RefreshKeepingTheRowUnderThePointer();
  });
}

// New events come in above older ones: the list scrolls with them, so the row under the pointer
// stays under it and a click lands on the event the user aimed at.
void HistoryWindow::RefreshKeepingTheRowUnderThePointer() {
  QWidget* rows = grdEvents_->viewport();
  const QPoint pointer = rows->mapFromGlobal(QCursor::pos());
  const int row = rows->rect().contains(pointer) ? grdEvents_->rowAt(pointer.y()) : -1;
  const bool known = row >= 0 && row < static_cast<int>(model_.eventRows.size());
  const int64_t id = known ? model_.eventRows[static_cast<size_t>(row)].id : 0;
  const int top = known ? grdEvents_->visualRect(grdEvents_->model()->index(row, 0)).top() : 0;
  model_.OnTmrRefreshTick();
  Render();
  if (!known) return;
  for (size_t moved = 0; moved < model_.eventRows.size(); ++moved) {
    if (model_.eventRows[moved].id != id) continue;
    const int now =
        grdEvents_->visualRect(grdEvents_->model()->index(static_cast<int>(moved), 0)).top();
    QScrollBar* bar = grdEvents_->verticalScrollBar();
    bar->setValue(bar->value() + now - top);
    return;
  }
}

HistoryWindow::~HistoryWindow() {
  model_.pictureEncoder = nullptr;
  // The program ends with the window open: no hide event reaches this class any more.
  if (isVisible()) placement_.Remember(*this);
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
  // Two graphs and the lists fit a window 600 pixels high.
  view->setMinimumHeight(120);
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

int64_t HistoryWindow::TimeAt(QChartView& view, QPoint viewportPosition) {
  const QPointF scene = view.mapToScene(viewportPosition);
  const QPointF value = view.chart()->mapToValue(view.chart()->mapFromScene(scene));
  return HistorySecondsAt(static_cast<qint64>(value.x()));
}

void HistoryWindow::Render() {
  rendering_ = true;
  setWindowTitle(ToQString(model_.caption));
  for (size_t i = 0; i < spanButtons_.size(); ++i) {
    const bool on = static_cast<int>(i) == model_.spanIndex;
    if (spanButtons_[i]->isChecked() != on) spanButtons_[i]->setChecked(on);
  }
  const QPalette palette = QWidget::palette();
  ApplyButton(model_.cmdZoomBack, palette, *cmdZoomBack_);
  ApplyButton(model_.cmdExportCsv, palette, *cmdExportCsv_);
  ApplyButton(model_.cmdSavePicture, palette, *cmdSavePicture_);
  lblNote_->SetFullText(ToQString(model_.lblNote));
  lblHover_->SetFullText(ToQString(model_.lblHover));
  RenderChart(*cpuChart_, true);
  RenderChart(*memChart_, false);
  RenderEvents();
  RenderTables();
  SyncTimer(model_.tmrRefresh, *tmrRefresh_);
  if (model_.visible && !isVisible()) {
    placement_.Apply(*this);
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
  // The graphs take the theme's colours: its base as the paper, its text for titles and labels.
  const QPalette& palette = QWidget::palette();
  const QColor paper = palette.color(QPalette::Base);
  const QColor ink = palette.color(QPalette::Text);
  const QColor alertColour = AlertTextColour(palette, QPalette::Base);
  chart->setBackgroundBrush(paper);
  chart->setTitleBrush(ink);

  // Labels at the model's round times, each on its own value.
  auto* xAxis = new QCategoryAxis;
  xAxis->setObjectName(QStringLiteral("timeAxis"));
  xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  const auto viewFromMs = static_cast<qreal>(AxisMs(model_.viewFrom));
  xAxis->setRange(viewFromMs, static_cast<qreal>(AxisMs(model_.viewTo)));
  xAxis->setStartValue(viewFromMs - 1);
  for (const TimeTick& tick : model_.timeTicks) {
    xAxis->append(ToQString(tick.label), static_cast<qreal>(AxisMs(tick.t)));
  }
  // Room above 100 for a marker at the top, whole; labels every 20 up to 100.
  auto* yAxis = new QValueAxis;
  yAxis->setRange(0, 108);
  yAxis->setTickType(QValueAxis::TicksDynamic);
  yAxis->setTickAnchor(0);
  yAxis->setTickInterval(20);
  yAxis->setLabelFormat("%d");
  for (QAbstractAxis* axis :
       {static_cast<QAbstractAxis*>(xAxis), static_cast<QAbstractAxis*>(yAxis)}) {
    axis->setLabelsBrush(ink);
    axis->setLinePenColor(palette.color(QPalette::Mid));
    axis->setGridLineColor(palette.color(QPalette::Midlight));
  }
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  auto add = [&](QXYSeries* series) {
    chart->addSeries(series);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis);
  };

  auto* values = new QLineSeries;
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(model_.points.size()));
  for (const SeriesPoint& p : model_.points) {
    points.append(QPointF(static_cast<qreal>(AxisMs(p.t)), cpu ? p.cpu : p.mem));
  }
  values->replace(points);
  values->setPen(QPen(cpu ? kCpuColour : kMemColour, 1.5));
  add(values);

  const std::optional<int>& threshold = cpu ? model_.cpuThreshold : model_.memThreshold;
  if (threshold) {
    auto* line = new QLineSeries;
    line->append(static_cast<qreal>(AxisMs(model_.viewFrom)), *threshold);
    line->append(static_cast<qreal>(AxisMs(model_.viewTo)), *threshold);
    line->setPen(QPen(alertColour, 1, Qt::DashLine));
    add(line);
  }
  if (model_.selectedTime) {
    auto* line = new QLineSeries;
    line->setObjectName(QStringLiteral("selection"));
    const auto x = static_cast<qreal>(AxisMs(*model_.selectedTime));
    line->append(x, 0);
    line->append(x, 100);
    line->setPen(QPen(ink, 1, Qt::DotLine));
    add(line);
  }
  const std::vector<GraphMarker>& markers = cpu ? model_.cpuMarkers : model_.memMarkers;
  if (markers.empty()) return;
  auto* alerts = MakeMarkers(alertColour, alertColour, 9);
  alerts->setObjectName(QStringLiteral("alerts"));
  auto* logOnly = MakeMarkers(paper, kLogOnlyColour, 9);
  logOnly->setObjectName(QStringLiteral("logOnly"));
  auto* selected = MakeMarkers(Qt::transparent, ink, 15);
  selected->setObjectName(QStringLiteral("selected"));
  for (const GraphMarker& m : markers) {
    const QPointF at(static_cast<qreal>(AxisMs(m.t)), m.value);
    (m.style == MarkerStyle::LogOnly ? logOnly : alerts)->append(at);
    if (m.selected) selected->append(at);
  }
  for (QScatterSeries* series : {alerts, logOnly, selected}) {
    if (series->count() == 0) {
      delete series;
      continue;
    }
    add(series);
    // The tip goes when the pointer leaves the marker, not when the series says the hover ended:
    // the tip's own window under the pointer ends the hover at once.
    connect(series, &QScatterSeries::hovered, this, [this, cpu](const QPointF& point, bool on) {
      if (on) ShowMarkerTip(cpu, point);
    });
  }
}

void HistoryWindow::ShowMarkerTip(bool cpu, const QPointF& point) {
  const std::vector<GraphMarker>& markers = cpu ? model_.cpuMarkers : model_.memMarkers;
  const GraphMarker* nearest = nullptr;
  qreal best = 0;
  for (const GraphMarker& m : markers) {
    const qreal distance = std::abs(static_cast<qreal>(AxisMs(m.t)) - point.x());
    if (nearest == nullptr || distance < best) {
      nearest = &m;
      best = distance;
    }
  }
  if (nearest == nullptr) return;
  QChartView* view = cpu ? cpuChart_ : memChart_;
  QChart* chart = view->chart();
  const QPointF centre = view->mapFromScene(chart->mapToScene(
      chart->mapToPosition(QPointF(static_cast<qreal>(AxisMs(nearest->t)), nearest->value))));
  QRect around(QPoint(0, 0), QSize(kMarkerTipArea, kMarkerTipArea));
  around.moveCenter(centre.toPoint());
  // Shown until the pointer leaves the marker's area, however long it rests there.
  QToolTip::showText(QCursor::pos(), PlainToolTip(ToQString(nearest->tip)), view->viewport(),
                     around, kMarkerTipMs);
}

void HistoryWindow::RenderEvents() {
  if (cboEventFilter_->currentIndex() != model_.eventFilterIndex) {
    cboEventFilter_->setCurrentIndex(model_.eventFilterIndex);
  }
  grdEvents_->horizontalHeader()->setSortIndicator(
      static_cast<int>(model_.eventSortColumn),
      model_.eventSortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
  grdEvents_->setRowCount(static_cast<int>(model_.eventRows.size()));
  const QBrush plain = grdEvents_->palette().text();
  const QBrush alertText(AlertTextColour(grdEvents_->palette(), QPalette::Base));
  for (size_t r = 0; r < model_.eventRows.size(); ++r) {
    const EventRow& row = model_.eventRows[r];
    const QString tip = PlainToolTip(ToQString(row.tip));
    for (size_t c = 0; c < row.cells.size(); ++c) {
      QTableWidgetItem* item =
          SetCell(*grdEvents_, static_cast<int>(r), static_cast<int>(c), ToQString(row.cells[c]));
      item->setToolTip(tip);
      item->setForeground(row.alert ? alertText : plain);
    }
  }
  grdEvents_->resizeColumnsToContents();
  const int selected = model_.selectedEventRow;
  if (grdEvents_->currentRow() != selected) {
    if (selected < 0) {
      grdEvents_->clearSelection();
      grdEvents_->setCurrentCell(-1, -1);
    } else {
      grdEvents_->setCurrentCell(selected, 0);
      grdEvents_->scrollToItem(grdEvents_->item(selected, 0));
    }
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
  QChartView* view = nullptr;
  for (QChartView* chart : {cpuChart_, memChart_}) {
    if (watched == chart->viewport()) view = chart;
  }
  if (view == nullptr) return QWidget::eventFilter(watched, event);
  const auto type = event->type();
  // The graphs' items have no tooltips of their own: left to the scene, the tooltip request that
  // comes when the pointer rests would hide a marker's tip after a moment.
  if (type == QEvent::ToolTip) return true;
  if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress &&
      type != QEvent::MouseButtonRelease) {
    return QWidget::eventFilter(watched, event);
  }
  const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
  const auto* mouse = static_cast<QMouseEvent*>(event);
  // The stretch of a drag runs over the whole height of the graph's plot.
  auto bandRect = [this, view](QPoint a, QPoint b) {
    const QRect plot =
        view->mapFromScene(view->chart()->mapToScene(view->chart()->plotArea())).boundingRect();
    const QRect band(QPoint(std::min(a.x(), b.x()), plot.top()),
                     QPoint(std::max(a.x(), b.x()), plot.bottom()));
    return QRect(view->viewport()->mapTo(this, band.topLeft()), band.size());
  };
  if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
    dragView_ = view;
    dragStart_ = at;
    band_->setGeometry(bandRect(at, at));
    band_->show();
    return true;
  }
  if (type == QEvent::MouseButtonRelease && dragView_ == view) {
    band_->hide();
    dragView_ = nullptr;
    if (std::abs(at.x() - dragStart_.x()) >= kDragPixels) {
      model_.OnZoom(TimeAt(*view, dragStart_), TimeAt(*view, at));
      Render();
    }
    return true;
  }
  if (type == QEvent::MouseMove) {
    if (dragView_ == view) band_->setGeometry(bandRect(dragStart_, at));
    model_.OnHover(TimeAt(*view, at));
    lblHover_->SetFullText(ToQString(model_.lblHover));
  }
  return QWidget::eventFilter(watched, event);
}

bool HistoryWindow::EncodePicture(std::ostream& out) {
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !graphs_->grab().save(&buffer, "PNG")) return false;
  out.write(png.constData(), png.size());
  return static_cast<bool>(out);
}

// Escape and Ctrl+W close the window, as they close the desktop's other windows; the lists leave
// both keys to it.
void HistoryWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Close)) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void HistoryWindow::hideEvent(QHideEvent* event) {
  placement_.Remember(*this);
  QWidget::hideEvent(event);
}

void HistoryWindow::closeEvent(QCloseEvent* event) {
  model_.OnClose();
  SyncTimer(model_.tmrRefresh, *tmrRefresh_);
  event->accept();
}

QAction* AddHistoryMenu(MainWindow& window, HistoryWindowModel& model, HistoryWindow& view) {
  QObject::connect(&window, &MainWindow::notificationClicked, &view,
                   [&window, &model, &view](qint64 t, int kind) {
                     view.setWindowIcon(window.windowIcon());
                     model.ShowEvent(t, static_cast<HistoryEventKind>(kind));
                     view.Render();
                     view.raise();
                     view.activateWindow();
                   });
  return AddLogMenuWindow(window, kHistoryMenuCaption, QStringLiteral("mHistory"), model, view);
}

}  // namespace tarnwick
