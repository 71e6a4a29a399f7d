// Themes: the main window, the Processes window and the History window rendered under the light
// and a dark palette; every label's and every list row's text, read back from the pixels, has a
// contrast of at least 4.5 against what it is drawn on, the alert red included, and the marked
// process row stands out from the others.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMap>
#include <QStyle>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <string>

#include "domain/history_time.h"
#include "forms/main_window_model.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "main_window.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "processes/processes_window_model.h"
#include "processes_window.h"
#include "qt_test_app.h"
#include "theme_colours.h"
#include "unit/model_fixture.h"

namespace tarnwick::testing {
namespace {

// A dark theme as desktop tools make it: light text on dark greys.
QPalette DarkPalette() {
  QPalette p;
  const QColor window(0x35, 0x35, 0x35);
  const QColor base(0x2a, 0x2a, 0x2a);
  const QColor text(0xf0, 0xf0, 0xf0);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, QColor(0x42, 0x42, 0x42));
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(0xff, 0x55, 0x55));
  p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
  p.setColor(QPalette::HighlightedText, text);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
  p.setColor(QPalette::Midlight, QColor(0x45, 0x45, 0x45));
  p.setColor(QPalette::Mid, QColor(0x28, 0x28, 0x28));
  p.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
  p.setColor(QPalette::Shadow, QColor(0x10, 0x10, 0x10));
  p.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
  return p;
}

// What a stretch of a rendering shows: its commonest colour (the background) and the pixel that
// stands out most from it (the text's ink).
struct Ink {
  QColor background;
  QColor ink;
  double contrast = 1;
};

Ink ReadInk(const QImage& image, const QRect& rect) {
  QMap<QRgb, int> counts;
  const QRect inside = rect.intersected(image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) ++counts[image.pixel(x, y) | 0xff000000];
  }
  Ink found;
  int most = 0;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    if (it.value() > most) {
      most = it.value();
      found.background = QColor(it.key());
    }
  }
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    const double contrast = ContrastRatio(QColor(it.key()), found.background);
    if (contrast > found.contrast) {
      found.contrast = contrast;
      found.ink = QColor(it.key());
    }
  }
  return found;
}

bool Reddish(const QColor& c) {
  return c.red() > c.green() + 40 && c.red() > c.blue() + 40;
}

struct Theme {
  const char* name;
  QPalette (*palette)();
};

void PrintTo(const Theme& t, std::ostream* os) {
  *os << t.name;
}

class ThemeContrastTest : public ModelFixture, public ::testing::WithParamInterface<Theme> {
 protected:
  QPalette before;

  void SetUp() override {
    EnsureQtApplication();
    before = QApplication::palette();
    QApplication::setPalette(GetParam().palette());
    ModelFixture::SetUp();
    processes.Add(300, "hog", 300, 10 * kMiB);
    Load();
    engine->settings.KillProc = 1;
    engine->settings.Killopt = false;
    engine->settings.PnameList.clear();
    engine->settings.num_Kill = "1";
  }
  void TearDown() override { QApplication::setPalette(before); }

  // Every shown label of `window` with text: its ink against its background.
  static void ExpectReadableLabels(QWidget& window, const char* which) {
    const QImage shot = window.grab().toImage();
    int checked = 0;
    for (QLabel* label : window.findChildren<QLabel*>()) {
      if (!label->isVisibleTo(&window) || label->text().trimmed().isEmpty()) continue;
      const Ink ink = ReadInk(shot, QRect(label->mapTo(&window, QPoint(0, 0)), label->size()));
      EXPECT_GE(ink.contrast, kLeastContrast)
          << which << " label " << label->objectName().toStdString() << " \""
          << label->text().toStdString() << "\" ink " << ink.ink.name().toStdString() << " on "
          << ink.background.name().toStdString();
      ++checked;
    }
    EXPECT_GT(checked, 0) << which;
  }

  // The ink of the text cell (row, column) of `table`, read from the rendered window.
  static Ink CellInk(QWidget& window, QTableWidget& table, int row, int column) {
    table.clearSelection();
    table.setCurrentCell(-1, -1);
    const QImage shot = window.grab().toImage();
    const QRect cell = table.visualItemRect(table.item(row, column));
    return ReadInk(shot, QRect(table.viewport()->mapTo(&window, cell.topLeft()), cell.size())
                             .adjusted(2, 2, -2, -2));
  }
};

TEST_P(ThemeContrastTest, EveryLabelAndRowIsReadableAndTheSignalColoursStayRecognisable) {
  MainWindow window(*model);
  ProcessesWindowModel processesModel(engine->processSampler(), *engine, system.suffix, nullptr);
  engine->Listen(&processesModel);
  ProcessesWindow processesView(processesModel);
  processesModel.Show();
  processesView.Render();
  Cycle(93, 50);
  Cycle(93, 50);
  window.Render();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  processesView.Render();

  // The main window: the CPU value is red while over the threshold.
  EXPECT_EQ(model->lblCPUValue[0].foreColor, kColorRed);
  ExpectReadableLabels(window, "main window");
  const Ink cpuValue = ReadInk(window.grab().toImage(),
                               QRect(window.form().lblCPUValue[0]->mapTo(&window, QPoint(0, 0)),
                                     window.form().lblCPUValue[0]->size()));
  EXPECT_TRUE(Reddish(cpuValue.ink)) << cpuValue.ink.name().toStdString();

  // The Processes window: the kill rule's pick is marked, and every row reads.
  ExpectReadableLabels(processesView, "Processes");
  QTableWidget& cpuTable = *processesView.grid(ProcessesWindowModel::kCpuTable);
  ASSERT_GE(cpuTable.rowCount(), 2);
  const int nameColumn = static_cast<int>(ProcessColumn::Name);
  ASSERT_EQ(cpuTable.item(0, nameColumn)->text(), "hog");
  const Ink marked = CellInk(processesView, cpuTable, 0, nameColumn);
  const Ink plain = CellInk(processesView, cpuTable, 1, nameColumn);
  EXPECT_GE(marked.contrast, kLeastContrast)
      << marked.ink.name().toStdString() << " on " << marked.background.name().toStdString();
  EXPECT_GE(plain.contrast, kLeastContrast);
  EXPECT_NE(marked.background, plain.background) << "the marked row stands out";

  // The History window: an alert row in the alert red, readable on the list's base.
  SqliteHistoryStore store(dir / "Tarnwick_history.sqlite");
  const int64_t now = ToHistorySeconds(clock.now);
  HistoryBatch batch;
  for (int64_t t = now - 600; t < now; t += 10) batch.samples.push_back({t, 30, 60, 6000});
  HistoryEvent alert{now - 300, HistoryEventKind::AlertRaised, "CPU 95% exceed 80%"};
  alert.watch = HistoryWatch::Cpu;
  alert.value = 95;
  alert.top = "hog";
  alert.sent = SendState::Sent;
  batch.events.push_back(alert);
  batch.events.push_back({now - 900, HistoryEventKind::MonitoringStarted, "Monitoring Started"});
  ASSERT_TRUE(store.Append(batch).ok);
  HistoryWindowModel history(clock, engine->settings, &store, nullptr);
  HistoryWindow historyView(history);
  history.Show();
  historyView.Render();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&historyView));
  ExpectReadableLabels(historyView, "History");
  QTableWidget& events = *historyView.grdEvents();
  ASSERT_EQ(events.rowCount(), 2);
  const int messageColumn = static_cast<int>(EventColumn::Message);
  const Ink alertRow = CellInk(historyView, events, 0, messageColumn);
  const Ink startRow = CellInk(historyView, events, 1, messageColumn);
  EXPECT_GE(alertRow.contrast, kLeastContrast)
      << alertRow.ink.name().toStdString() << " on " << alertRow.background.name().toStdString();
  EXPECT_TRUE(Reddish(alertRow.ink)) << alertRow.ink.name().toStdString();
  EXPECT_GE(startRow.contrast, kLeastContrast);
  engine->Unlisten(&processesModel);
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, ThemeContrastTest,
    ::testing::Values(Theme{"Light", [] { return QApplication::style()->standardPalette(); }},
                      Theme{"Dark", &DarkPalette}),
    [](const ::testing::TestParamInfo<Theme>& p) { return std::string(p.param.name); });

// The colour rules themselves, on the two palettes and on the extremes.
TEST(ThemeColours, SignalColoursMeetTheLeastContrastOnEveryBackground) {
  EnsureQtApplication();
  for (const QColor& background : {QColor(Qt::white), QColor(Qt::black), QColor(0x35, 0x35, 0x35),
                                   QColor(0xef, 0xef, 0xef), QColor(0x80, 0x80, 0x80)}) {
    SCOPED_TRACE(background.name().toStdString());
    EXPECT_GE(ContrastRatio(ReadableOn(QColor(255, 0, 0), background), background), kLeastContrast);
  }
  EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 0.01);
  EXPECT_NEAR(ContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);
  for (const QPalette& palette : {QApplication::style()->standardPalette(), DarkPalette()}) {
    EXPECT_GE(ContrastRatio(palette.color(QPalette::Text), MarkedRowColour(palette)),
              kLeastContrast);
    EXPECT_NE(MarkedRowColour(palette), palette.color(QPalette::Base));
    const QColor green(0, 255, 0);
    EXPECT_GE(ContrastRatio(ButtonTextOn(palette, green), green), kLeastContrast);
  }
}

}  // namespace
}  // namespace tarnwick::testing
