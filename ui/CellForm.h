// The main window: the drawing panel with the live lattice, the settings of
// a setup (number of agents, aggregation threshold), the buttons, the step
// counter and the free-agents chart. It owns one world of the model and
// drives it from its handlers; Timer1 runs one step per tick, or at the
// fastest speed as many steps as fit in FastestBatchMs.
//
// The model steps up to a thousand times a second at full speed and tens
// of thousands at the fastest, far more often than a screen can show. The
// handlers therefore only change the model and mark that it changed; a
// frame timer draws the picture from the world and brings it, the step
// label and the chart to the screen every FramePeriodMs, so a step never
// paints and a picture is drawn at most once a frame.
#pragma once

#include <QBasicTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "TRun.h"
#include "WindowOptions.h"

class QAction;
class QActionGroup;
class QGroupBox;
class QImage;
class QLabel;
class QLineEdit;
class QLineSeries;
class QMenu;
class QPushButton;
class QTimer;
class TDrawingImage;
class TErrorDisplay;
class TFreeAgentsChart;
class TMeasuresChart;
class TMovieRecorder;
class TUpDown;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Pause between two frames, in milliseconds (about 60 a second).
  static constexpr int FramePeriodMs = 16;
  // Size of the window's client area in its normal (not maximised) state.
  static constexpr int LayoutWidth = 731;
  static constexpr int LayoutHeight = 460;

  // Timer1's intervals in milliseconds for the speeds a user can choose:
  // full (one step per 1 ms tick, the default), then 100, 30 and 10 steps
  // a second, then the fastest (FastestIntervalMs).
  static constexpr int FastestIntervalMs = 0;
  static constexpr int SpeedIntervalsMs[] = {1, 10, 33, 100, FastestIntervalMs};
  // At the fastest speed Timer1 fires whenever the event loop has nothing
  // else to do, and each tick runs steps until this many milliseconds have
  // passed, so that a frame (FramePeriodMs) still comes between two
  // batches.
  static constexpr int FastestBatchMs = 12;

  // Builds the window from its layout, which switches Timer1 on, then runs
  // FormCreate. The options' agents and threshold are written into their
  // edits first; with a seed, every setup places its agents from it.
  // Errors of the handlers go to `errors`, which must outlive the window.
  // Throws what FormCreate throws.
  explicit TForm1(TErrorDisplay& errors, const TWindowOptions& options = {},
                  QWidget* parent = nullptr);
  // Runs FormDestroy.
  ~TForm1() override;

  // The layout's components, each named as its object. Qt owns them (they
  // are children of the window); ZeichenPanel is gone after FormDestroy.
  QTimer* Timer1;
  QWidget* Panel1;
  QWidget* ZeichenPanel;
  QPushButton* B_reset;
  QGroupBox* GroupBox1;
  TUpDown* UpD_anzAg;
  TUpDown* UpDown1;
  QLineEdit* Edit_thresh;
  QLineEdit* Edit_anzAg;
  QLabel* Lbl_TextAnzahl;
  QLabel* Lbl_TextSwelle;
  QPushButton* B_setup;
  QPushButton* B_stop;
  QGroupBox* GroupBox2;
  QLabel* lbl_Steps;
  TFreeAgentsChart* Chart1;
  QLineSeries* Series1;
  // Shows the world's picture inside ZeichenPanel; made by FormCreate.
  TDrawingImage* DrawingImage = nullptr;

  // Beyond the layout, owned by the window. ContextMenu opens on the
  // drawing and on the chart with the save, copy, speed and step actions.
  // After "Copy seed": A_recordVideo ("Record video…", "Stop recording"
  // while recording), A_saveWorld and A_openWorld.
  // The window's shortcuts (none of them a key the edits or the spin
  // controls use): A_setup Ctrl+N, A_startStop F5, A_step F10,
  // A_savePicture Ctrl+S, A_exportSeries Ctrl+Shift+S, A_quit Ctrl+Q.
  QMenu* ContextMenu;
  QAction* A_setup;
  QAction* A_startStop;
  QAction* A_step;
  QAction* A_savePicture;
  QAction* A_copyPicture;
  QAction* A_exportSeries;
  QAction* A_saveChart;
  QAction* A_copySeed;
  QAction* A_recordVideo;
  QAction* A_saveWorld;
  QAction* A_openWorld;
  // After "Open world…": A_latticeSize ("Lattice size…"), then the view's
  // A_zoomIn (Ctrl++), A_zoomOut (Ctrl+-) and A_fit ("Fit", Ctrl+0).
  QAction* A_latticeSize;
  // "Export measures as CSV…", and the "Measures chart" entries, one per
  // TMeasuresChart::Choices, each showing MeasuresChart with its measure.
  QAction* A_exportMeasures;
  QList<QAction*> A_measures;
  QAction* A_zoomIn;
  QAction* A_zoomOut;
  QAction* A_fit;
  QAction* A_quit;
  // The speeds, in the order of SpeedIntervalsMs; exactly one is checked.
  QActionGroup* Speeds;

  // Asks where to save: (caption, suggested file name, filter) -> a path,
  // empty when the user cancels. A file dialog by default; tests answer
  // for it.
  std::function<QString(const QString&, const QString&, const QString&)> AskSavePath;
  // Asks which file to open: (caption, filter) -> a path, empty when the
  // user cancels. A file dialog by default; tests answer for it.
  std::function<QString(const QString&, const QString&)> AskOpenPath;
  // Asks for the lattice's drawing area as "WxH": (the current one) -> the
  // text, empty when the user cancels. An input dialog by default; tests
  // answer for it.
  std::function<QString(const QString&)> AskLatticeSize;
  // Records the frames the window shows while A_recordVideo is on; owned
  // by the window.
  TMovieRecorder* Recorder;
  // The run's measures over the steps, in a small window of its own beside
  // this one (the laid-out window stays as it is), shown from the context
  // menu; owned by the window.
  TMeasuresChart* MeasuresChart;

  // The run: its world (lattice, cells, agents and step counter), its
  // threshold and its series of free agents, which the chart shows.
  const dla::TRun& Run() const noexcept { return *run_; }
  const dla::TWorld& World() const noexcept { return run_->World(); }

  // The handlers. Qt reaches them through the error display; called
  // directly they throw what fails.
  //
  // Maximises the window (sizing it to the available screen area itself
  // where no window manager runs; otherwise its normal geometry stays the
  // LayoutWidth x LayoutHeight client area at the platform's default
  // position), centres Panel1, builds the world from ZeichenPanel's size
  // with as many agents as UpD_anzAg shows, and makes the drawing image.
  void FormCreate();
  // The actions' handlers; Qt reaches them through the error display.
  //
  // One step while Timer1 is off (nothing while it runs).
  void StepOnce();
  // Saves the picture after the current step, exactly (drawn from the
  // world when asked, not the last frame's), as PNG at the path AskSavePath
  // gives; throws std::runtime_error if it cannot be written.
  void SavePicture();
  // Writes every point of the chart as "step,free_agents" lines, as
  // dla-batch prints a run, at the path AskSavePath gives.
  void ExportSeries();
  // Saves the chart as it shows now as PNG.
  void SaveChart();
  // Writes the measures of every step of the run's series as dla-batch
  // --measures-series writes them, at the path AskSavePath gives.
  void ExportMeasures();
  // Stops the recording if one is being made; otherwise starts one into
  // the path AskSavePath gives (its extension names the format, as
  // dla-batch --movie takes it), a frame for every frame the window shows
  // from then on, at 1000 / FramePeriodMs frames a second. While it
  // records, the window title ends in " ● recording". Throws
  // std::runtime_error if the recording cannot start; a recording that
  // fails later is shown through the error display.
  void RecordVideo();
  // Saves the world as it is after the current step, with the threshold
  // edit's text, as a checkpoint file (docs/checkpoints.md) at the path
  // AskSavePath gives. Throws std::runtime_error if it cannot be written.
  void SaveWorld();
  // Replaces the world by the one saved at the path AskOpenPath gives,
  // which then carries on exactly as the saved one would have: the
  // threshold edit takes the saved text, the chart shows the run's series
  // (empty), the step label, the picture and the seed follow; the picture
  // is fitted into the drawing panel, and later setups keep the world's
  // drawing area. Later setups seed as before. Throws std::runtime_error
  // (nothing changed) for a file that cannot be read or is no intact
  // checkpoint.
  void OpenWorld();
  // Asks for the drawing area of the next setups (AskLatticeSize), read as
  // --size reads it; the next "new Setup" makes its world of that area.
  // Throws dla::tools::EUsageError, nothing changed, for a text --size
  // refuses.
  void LatticeSize();
  // Timer1's interval from SpeedIntervalsMs.
  void SetSpeed(int intervalMs);
  // What a tick of Timer1 runs: one step (Timer1Timer), or at the fastest
  // speed steps until FastestBatchMs have passed or Timer1 is off (the run
  // has ended). A step that throws ends the batch with its error, having
  // changed nothing.
  void Timer1Tick();

  // Runs after each change of the window's size: centres Panel1 for the
  // outer size the window has now.
  void FormCanResize();
  // Ends a recording (waiting for the movie to be in place), then releases
  // the drawing image, ZeichenPanel and the world.
  void FormDestroy();
  // Puts the edits back to the default agents ("2000") and threshold
  // ("6"); nothing else.
  void B_resetClick();
  // Empties the chart and makes a new world: StepCount 0, a new population
  // of UpD_anzAg's position, every cell open, over the drawing area that
  // LatticeSize last chose. Timer1 stays as it is.
  void B_setupClick();
  // Switches Timer1 on if it is off, off if it is on.
  void B_stopClick();
  // One step: reads the threshold from Edit_thresh (throws
  // dla::EConvertError before anything changes if the text is no integer),
  // runs it, switches Timer1 off when no agent was free, and queues the
  // step number for lbl_Steps and the point (step, free agents) for the
  // chart.
  void Timer1Timer();

  // Where Panel1 (of size `panel`) goes in a window of outer size `outer`
  // (frame included): (W - w) / 2 and (H - h) / 2, halves rounded to the
  // even neighbour, not clamped (a window smaller than the panel gives a
  // negative position).
  static QPoint CentredPanelPosition(QSize outer, QSize panel);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  // A slot that runs the handler through the error display.
  std::function<void()> Guarded(void (TForm1::*handler)());
  void CreateDrawingImage();
  // What a run of this window is made with: the fixed seed or the clock,
  // the chart's outline.
  dla::TRun::TSettings RunSettings() const;
  // The run now shown: the chart shows its series, the frame its world.
  void ShowRun(std::unique_ptr<dla::TRun> run);
  void CreateActions();
  // The current setup's seed in the drawing's tooltip and the menu.
  void ShowSeed();
  void OpenContextMenu(QWidget* widget, QPoint at);
  // The suggested file name: "dla-seed<seed>-step<step><what>".
  QString SuggestedName(const QString& what) const;
  // Asks for a path ("Save <what> as PNG", suggesting the name with
  // suffix) and writes the image there; throws std::runtime_error if it
  // cannot be written.
  void SavePng(const QImage& image, const QString& what, const QString& suffix);
  void CentrePanel1();
  // Brings what the handlers changed to the screen.
  void ShowFrame();
  // Draws the world's picture into the drawing image now.
  void DrawWorld();
  // Sets lbl_Steps' text, its width following the text and its right edge
  // staying where the layout puts it.
  void SetStepsText(const QString& text);

  TErrorDisplay& errors_;
  // The title when not recording.
  QString title_;
  std::optional<std::uint32_t> fixedSeed_;
  std::unique_ptr<dla::TRun> run_;
  // The drawing area of the next setup: --size, the laid-out panel's, an
  // opened world's or LatticeSize's.
  QSize drawingSize_;
  QBasicTimer frame_;
  // The world changed since the picture was last drawn.
  bool worldChanged_ = false;
  bool stepChanged_ = false;
  int lastStep_ = 0;
};
