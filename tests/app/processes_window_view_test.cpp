// The Processes window's view over its model on the main window's fakes: Log > Processes opens
// it, each monitor cycle brings its lists up to date, a heading click sorts in the model, the
// marked process stands out, and closing it stops the reading.
#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>

#include "main_window.h"
#include "processes/processes_window_model.h"
#include "processes_window.h"
#include "qt_test_app.h"
#include "unit/model_fixture.h"
#include "widget_driver.h"

namespace tarnwick::testing {
namespace {

class ProcessesWindowViewTest : public ModelFixture {
 protected:
  std::unique_ptr<ProcessesWindowModel> processesModel;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<ProcessesWindow> view;

  void TearDown() override { engine->Unlisten(processesModel.get()); }

  void SetUp() override {
    EnsureQtApplication();
    ModelFixture::SetUp();
    processes.Add(300, "<i>hog</i>", 300, 10 * kMiB);
    Load();
    // A kill rule that would terminate the hog at an alert now.
    engine->settings.KillProc = 1;
    engine->settings.Killopt = false;
    engine->settings.PnameList.clear();
    engine->settings.num_Kill = "1";
    processesModel = std::make_unique<ProcessesWindowModel>(engine->processSampler(), *engine,
                                                            system.suffix, nullptr);
    engine->Listen(processesModel.get());
    window = std::make_unique<MainWindow>(*model);
    view = std::make_unique<ProcessesWindow>(*processesModel);
    AddProcessesMenu(*window, *processesModel, *view);
  }

  QTableWidget* Cpu() { return view->grid(ProcessesWindowModel::kCpuTable); }
};

TEST_F(ProcessesWindowViewTest, MenuOpensTheWindowAndEachCycleRefreshesIt) {
  auto* action = window->form().logMenu->findChild<QAction*>("mProcesses");
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->text(), "&Processes");
  action->trigger();
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), "Processes");
  EXPECT_EQ(Cpu()->rowCount(), 0) << "CPU shares come with the next cycle";
  EXPECT_TRUE(FindWidget<QLabel>(view.get(), "lblNote")->isVisibleTo(view.get()));

  clock.Advance(5);
  Cycle(93, 50);
  Cycle(93, 50);
  ASSERT_EQ(Cpu()->rowCount(), 3);
  EXPECT_EQ(Cpu()->item(0, 2)->text(), "<i>hog</i>") << "a name is plain text";
  EXPECT_TRUE(Cpu()->item(0, 2)->font().bold()) << "the kill rule's pick stands out";
  EXPECT_FALSE(Cpu()->item(1, 2)->font().bold());
  auto* marked = FindWidget<QLabel>(view.get(), "lblCpuMarked");
  EXPECT_EQ(marked->textFormat(), Qt::PlainText);
  EXPECT_TRUE(marked->text().startsWith("Marked: <i>hog</i> (pid 300)"));

  Cpu()->horizontalHeader()->sectionClicked(static_cast<int>(ProcessColumn::Pid));
  EXPECT_EQ(Cpu()->item(0, 0)->text(), "100") << "sorted by pid in the model";

  view->close();
  EXPECT_FALSE(processesModel->visible);
  const int scans = processes.scans;
  Cycle(20, 50);
  EXPECT_EQ(processes.scans, scans) << "closed, it reads nothing";
}

}  // namespace
}  // namespace tarnwick::testing
