#include "CellForm.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QTimerEvent>
#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "DrawingImage.h"
#include "ErrorDisplay.h"
#include "FreeAgentsChart.h"
#include "MeasuresChart.h"
#include "MeasuresCsv.h"
#include "MovieRecorder.h"
#include "Options.h"
#include "Random.h"
#include "TWorld.h"
#include "UpDown.h"
#include "WindowManager.h"
#include "SaveFile.h"
#include "TRun.h"

namespace {

// Debian ships a metric-compatible Tahoma with Wine's fonts, outside the
// folders fontconfig searches.
constexpr const char* WineTahoma = "/usr/share/wine/fonts/tahoma.ttf";

// Tahoma at a character height of 10 pixels, or the closest sans-serif.
QFont WindowFont() {
  static const bool tahomaLoaded = [] {
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) return true;
    return QFontDatabase::addApplicationFont(QString::fromLatin1(WineTahoma)) >= 0;
  }();
  (void)tahomaLoaded;
  QFont font;
  font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(10);
  return font;
}

template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, QRect at) {
  return Place(new QPushButton(text, parent), name, at.x(), at.y(), at.width(), at.height());
}

// A label at its layout place, widened if this machine's font needs more
// room than the layout's.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect at) {
  auto* label = new QLabel(text, parent);
  return Place(label, name, at.x(), at.y(), std::max(at.width(), label->sizeHint().width()),
               at.height());
}

// lbl_Steps grows to the left: its right edge stays at this x of GroupBox2.
constexpr int StepsRight = 98 + 39;
constexpr int StepsTop = 16;
constexpr int StepsHeight = 12;

}  // namespace

TForm1::TForm1(TErrorDisplay& errors, const TWindowOptions& options, QWidget* parent)
    : QWidget(parent), errors_(errors), fixedSeed_(options.Seed) {
  setObjectName(QStringLiteral("Form1"));
  title_ = QStringLiteral("Diffusion Aggregation Model ");
  setWindowTitle(title_);
  setFont(WindowFont());
  setBackgroundRole(QPalette::Light);
  setAutoFillBackground(true);
  resize(LayoutWidth, LayoutHeight);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setTimerType(Qt::PreciseTimer);
  Timer1->setInterval(1);

  Panel1 = Place(new QWidget(this), "Panel1", 8, 30, 684, 420);
  Panel1->setBackgroundRole(QPalette::Light);
  Panel1->setAutoFillBackground(true);
  ZeichenPanel = Place(new QWidget(Panel1), "ZeichenPanel", 6, 6, 404, 404);
  B_reset =
      MakeButton(Panel1, "B_reset", QStringLiteral("alle Werte zurücksetzen"), {473, 6, 161, 25});
  GroupBox1 = Place(new QGroupBox(QStringLiteral("setup settings"), Panel1), "GroupBox1", 416, 40,
                    257, 129);
  GroupBox2 =
      Place(new QGroupBox(QStringLiteral("timesteps"), Panel1), "GroupBox2", 416, 175, 257, 41);
  Chart1 = Place(new TFreeAgentsChart(Panel1), "Chart1", 416, 223, 257, 187);
  // Fusion draws a group box's frame below its title, across the step
  // label's laid-out place; the classic style draws the title on the
  // frame's top line, as the layout was made for.
  if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) {
    classic->setParent(this);
    GroupBox1->setStyle(classic);
    GroupBox2->setStyle(classic);
  }
  Series1 = Chart1->Series();

  B_setup = MakeButton(GroupBox1, "B_setup", QStringLiteral("new Setup"), {57, 22, 75, 25});
  B_stop = MakeButton(GroupBox1, "B_stop", QStringLiteral("start / stop"), {143, 22, 75, 25});
  // The layout's text, in the form of the locale it was made in; the spin
  // control writes its position over it in the running locale's form.
  Edit_anzAg =
      Place(new QLineEdit(QStringLiteral("2.000"), GroupBox1), "Edit_anzAg", 16, 56, 41, 20);
  UpD_anzAg = Place(new TUpDown(GroupBox1), "UpD_anzAg", 57, 56, 16, 20);
  UpD_anzAg->SetRange(dla::RunDefaults.WindowAgentsMin, dla::RunDefaults.WindowAgentsMax);
  UpD_anzAg->SetIncrement(dla::RunDefaults.WindowAgentsStep);
  UpD_anzAg->SetPosition(dla::RunDefaults.Agents);
  UpD_anzAg->SetAssociate(Edit_anzAg);
  Lbl_TextAnzahl = MakeLabel(GroupBox1, "Lbl_TextAnzahl",
                             QStringLiteral(": number of agents for setup"), {80, 60, 129, 12});
  Edit_thresh = Place(new QLineEdit(QString::fromLatin1(dla::RunDefaults.ThresholdText), GroupBox1),
                      "Edit_thresh", 16, 88, 41, 20);
  UpDown1 = Place(new TUpDown(GroupBox1), "UpDown1", 57, 88, 16, 20);
  UpDown1->SetRange(dla::RunDefaults.WindowThresholdMin, dla::RunDefaults.WindowThresholdMax);
  UpDown1->SetIncrement(1);
  UpDown1->SetPosition(Edit_thresh->text().toInt());
  UpDown1->SetAssociate(Edit_thresh);
  Lbl_TextSwelle = MakeLabel(GroupBox1, "Lbl_TextSwelle",
                             QStringLiteral(": threshold for aggregation"), {80, 92, 122, 12});

  lbl_Steps = new QLabel(GroupBox2);
  lbl_Steps->setObjectName(QStringLiteral("lbl_Steps"));
  lbl_Steps->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetStepsText(QStringLiteral("lbl_Steps"));

  // Only the edits and the buttons take the focus, the threshold edit
  // before the agents edit.
  setTabOrder(B_reset, Edit_thresh);
  setTabOrder(Edit_thresh, Edit_anzAg);
  setTabOrder(Edit_anzAg, B_setup);
  setTabOrder(B_setup, B_stop);

  connect(Timer1, &QTimer::timeout, this, Guarded(&TForm1::Timer1Tick));
  connect(B_reset, &QPushButton::clicked, this, Guarded(&TForm1::B_resetClick));
  connect(B_setup, &QPushButton::clicked, this, Guarded(&TForm1::B_setupClick));
  connect(B_stop, &QPushButton::clicked, this, Guarded(&TForm1::B_stopClick));

  CreateActions();
  AskSavePath = [this](const QString& caption, const QString& suggested, const QString& filter) {
    return QFileDialog::getSaveFileName(this, caption, suggested, filter);
  };
  AskOpenPath = [this](const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileName(this, caption, QString(), filter);
  };
  AskLatticeSize = [this](const QString& current) {
    bool given = false;
    const QString text = QInputDialog::getText(this, QStringLiteral("Lattice size"),
                                               QStringLiteral("Drawing area of the next setups, WxH pixels:"),
                                               QLineEdit::Normal, current, &given);
    return given ? text : QString();
  };
  drawingSize_ = options.Size ? QSize(options.Size->first, options.Size->second) : ZeichenPanel->size();
  if (options.Agents) UpD_anzAg->SetPosition(*options.Agents);
  if (options.Threshold) Edit_thresh->setText(QString::fromLocal8Bit(*options.Threshold));

  Timer1->start();
  FormCreate();
  frame_.start(FramePeriodMs, Qt::PreciseTimer, this);
}

std::function<void()> TForm1::Guarded(void (TForm1::*handler)()) {
  return [this, handler] { errors_.Guard([this, handler] { (this->*handler)(); }); };
}

void TForm1::CreateActions() {
  const auto action = [this](const QString& text, const QKeySequence& keys = {}) {
    auto* a = new QAction(text, this);
    a->setShortcut(keys);
    // Window-wide; an edit that needs a key claims it first.
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
    return a;
  };
  A_setup = action(QStringLiteral("New setup"), QKeySequence(Qt::CTRL | Qt::Key_N));
  A_startStop = action(QStringLiteral("Start / stop"), QKeySequence(Qt::Key_F5));
  A_step = action(QStringLiteral("Step once"), QKeySequence(Qt::Key_F10));
  A_savePicture =
      action(QStringLiteral("Save picture as PNG…"), QKeySequence(Qt::CTRL | Qt::Key_S));
  A_copyPicture = action(QStringLiteral("Copy picture"));
  A_exportSeries = action(QStringLiteral("Export free agents as CSV…"),
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  A_saveChart = action(QStringLiteral("Save chart as PNG…"));
  A_copySeed = action(QStringLiteral("Copy seed"));
  A_recordVideo = action(QStringLiteral("Record video…"));
  A_saveWorld = action(QStringLiteral("Save world…"));
  A_openWorld = action(QStringLiteral("Open world…"));
  A_latticeSize = action(QStringLiteral("Lattice size…"));
  A_exportMeasures = action(QStringLiteral("Export measures as CSV…"));
  // With Ctrl: a plain + or - is a character the edits take.
  A_zoomIn = action(QStringLiteral("Zoom in"), QKeySequence(Qt::CTRL | Qt::Key_Plus));
  A_zoomOut = action(QStringLiteral("Zoom out"), QKeySequence(Qt::CTRL | Qt::Key_Minus));
  A_fit = action(QStringLiteral("Fit"), QKeySequence(Qt::CTRL | Qt::Key_0));
  A_quit = action(QStringLiteral("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(A_setup, &QAction::triggered, this, Guarded(&TForm1::B_setupClick));
  connect(A_startStop, &QAction::triggered, this, Guarded(&TForm1::B_stopClick));
  connect(A_step, &QAction::triggered, this, Guarded(&TForm1::StepOnce));
  connect(A_savePicture, &QAction::triggered, this, Guarded(&TForm1::SavePicture));
  connect(A_exportSeries, &QAction::triggered, this, Guarded(&TForm1::ExportSeries));
  connect(A_saveChart, &QAction::triggered, this, Guarded(&TForm1::SaveChart));
  connect(A_copyPicture, &QAction::triggered, this, [this] {
    errors_.Guard([this] {
      DrawWorld();
      QGuiApplication::clipboard()->setImage(DrawingImage->Picture());
    });
  });
  connect(A_copySeed, &QAction::triggered, this, [this] {
    QGuiApplication::clipboard()->setText(QString::number(run_->Seed()));
  });
  connect(A_quit, &QAction::triggered, this, &QWidget::close);
  Recorder = new TMovieRecorder(this);
  connect(A_recordVideo, &QAction::triggered, this, Guarded(&TForm1::RecordVideo));
  connect(A_saveWorld, &QAction::triggered, this, Guarded(&TForm1::SaveWorld));
  connect(A_openWorld, &QAction::triggered, this, Guarded(&TForm1::OpenWorld));
  connect(A_latticeSize, &QAction::triggered, this, Guarded(&TForm1::LatticeSize));
  connect(A_exportMeasures, &QAction::triggered, this, Guarded(&TForm1::ExportMeasures));
  MeasuresChart = new TMeasuresChart(this);
  MeasuresChart->setObjectName(QStringLiteral("MeasuresChart"));
  MeasuresChart->setWindowFlag(Qt::Tool);
  MeasuresChart->setWindowTitle(QStringLiteral("Measures"));
  MeasuresChart->resize(360, 260);
  const auto zoom = [this](double factor) {
    DrawingImage->ZoomBy(factor, QPointF(DrawingImage->width(), DrawingImage->height()) / 2.0);
  };
  connect(A_zoomIn, &QAction::triggered, this, [zoom] { zoom(1.25); });
  connect(A_zoomOut, &QAction::triggered, this, [zoom] { zoom(1.0 / 1.25); });
  connect(A_fit, &QAction::triggered, this, [this] { DrawingImage->Fit(); });
  connect(Recorder, &TMovieRecorder::RecordingChanged, this, [this](bool recording) {
    setWindowTitle(recording ? title_ + QStringLiteral(" ● recording") : title_);
    A_recordVideo->setText(recording ? QStringLiteral("Stop recording")
                                     : QStringLiteral("Record video…"));
  });
  connect(Recorder, &TMovieRecorder::Failed, this,
          [this](const QString& message) { errors_.Show(message); });

  ContextMenu = new QMenu(this);
  ContextMenu->setObjectName(QStringLiteral("ContextMenu"));
  ContextMenu->addAction(A_savePicture);
  ContextMenu->addAction(A_copyPicture);
  ContextMenu->addAction(A_exportSeries);
  ContextMenu->addAction(A_exportMeasures);
  ContextMenu->addAction(A_saveChart);
  ContextMenu->addAction(A_copySeed);
  ContextMenu->addAction(A_recordVideo);
  ContextMenu->addAction(A_saveWorld);
  ContextMenu->addAction(A_openWorld);
  ContextMenu->addAction(A_latticeSize);
  QMenu* measures = ContextMenu->addMenu(QStringLiteral("Measures chart"));
  auto* choices = new QActionGroup(this);
  for (int choice = 0; choice < static_cast<int>(std::size(TMeasuresChart::Choices)); ++choice) {
    QString name = QString::fromLatin1(TMeasuresChart::Choices[choice].Name);
    name[0] = name[0].toUpper();
    QAction* a = measures->addAction(name);
    a->setCheckable(true);
    choices->addAction(a);
    A_measures.append(a);
    connect(a, &QAction::triggered, this, [this, choice] {
      MeasuresChart->SetChoice(choice);
      MeasuresChart->show();
      MeasuresChart->raise();
    });
  }
  ContextMenu->addSeparator();
  ContextMenu->addAction(A_zoomIn);
  ContextMenu->addAction(A_zoomOut);
  ContextMenu->addAction(A_fit);
  ContextMenu->addSeparator();
  QMenu* speed = ContextMenu->addMenu(QStringLiteral("Speed"));
  Speeds = new QActionGroup(this);
  const QString speedNames[] = {QStringLiteral("Full"), QStringLiteral("100 steps per second"),
                                QStringLiteral("30 steps per second"),
                                QStringLiteral("10 steps per second"), QStringLiteral("Fastest")};
  static_assert(std::size(speedNames) == std::size(SpeedIntervalsMs));
  for (std::size_t i = 0; i < std::size(speedNames); ++i) {
    QAction* a = speed->addAction(speedNames[i]);
    a->setCheckable(true);
    a->setChecked(SpeedIntervalsMs[i] == Timer1->interval());
    a->setData(SpeedIntervalsMs[i]);
    Speeds->addAction(a);
    connect(a, &QAction::triggered, this, [this, ms = SpeedIntervalsMs[i]] { SetSpeed(ms); });
  }
  ContextMenu->addAction(A_step);
  ContextMenu->addAction(A_startStop);
  ContextMenu->addAction(A_setup);
  connect(ContextMenu, &QMenu::aboutToShow, this,
          [this] { A_step->setEnabled(!Timer1->isActive()); });

  // The chart view hands its viewport's context menu events to itself, at
  // the viewport's coordinates.
  Chart1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Chart1, &QWidget::customContextMenuRequested, this,
          [this](QPoint at) { OpenContextMenu(Chart1->viewport(), at); });
  Chart1->setToolTip(QStringLiteral("Right-click: save the chart, export the series (Ctrl+Shift+S)"));
  B_setup->setToolTip(QStringLiteral("New setup (Ctrl+N)"));
  B_stop->setToolTip(QStringLiteral("Start or stop the run (F5); one step while stopped: F10"));
}

void TForm1::OpenContextMenu(QWidget* widget, QPoint at) {
  ContextMenu->popup(widget->mapToGlobal(at));
}

void TForm1::ShowSeed() {
  const QString seed = QString::number(run_->Seed());
  A_copySeed->setText(QStringLiteral("Copy seed %1").arg(seed));
  DrawingImage->setToolTip(
      QStringLiteral("Seed %1\nRight-click: save or copy the picture (Ctrl+S), speed, one step (F10)")
          .arg(seed));
}

QString TForm1::SuggestedName(const QString& what) const {
  return QString::fromStdString(run_->SuggestedName(what.toStdString()));
}

void TForm1::StepOnce() {
  if (!Timer1->isActive()) Timer1Timer();
}

void TForm1::SavePicture() {
  DrawWorld();
  // The picture as it was when asked for: the run goes on behind the
  // dialog, and the next frame draws into a picture of its own.
  const QImage picture = DrawingImage->Picture();
  SavePng(picture, QStringLiteral("picture"), QLatin1String(dla::RunDefaults.PictureSuffix));
}

void TForm1::ExportSeries() {
  const QString path = AskSavePath(QStringLiteral("Export free agents as CSV"),
                                   SuggestedName(QLatin1String(dla::RunDefaults.SeriesSuffix)),
                                   QStringLiteral("CSV files (*.csv)"));
  if (path.isEmpty()) return;
  TSaveFile::Write(path, [this](QIODevice& file) { return Chart1->WriteCsv(file); });
}

void TForm1::ExportMeasures() {
  const QString path = AskSavePath(QStringLiteral("Export measures as CSV"),
                                   SuggestedName(QLatin1String(dla::RunDefaults.MeasuresSuffix)),
                                   QStringLiteral("CSV files (*.csv)"));
  if (path.isEmpty()) return;
  const std::string text = dla::tools::TMeasuresCsv::Text(run_->MeasuresSeries());
  TSaveFile::Write(path, [&text](QIODevice& file) {
    return file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
  });
}

void TForm1::SaveChart() {
  SavePng(Chart1->grab().toImage(), QStringLiteral("chart"), QLatin1String(dla::RunDefaults.ChartSuffix));
}

void TForm1::RecordVideo() {
  if (Recorder->Recording()) {
    Recorder->Stop();
    return;
  }
  const QString path = AskSavePath(QStringLiteral("Record video"),
                                   SuggestedName(QLatin1String(dla::RunDefaults.MovieSuffix)),
                                   QStringLiteral("Videos (*.mp4 *.webm *.gif *.mkv)"));
  if (path.isEmpty()) return;
  Recorder->Start(path, DrawingImage->Picture().size(), 1000 / FramePeriodMs);
}

void TForm1::SaveWorld() {
  const QString path = AskSavePath(QStringLiteral("Save world"),
                                   SuggestedName(QLatin1String(dla::RunDefaults.WorldSuffix)),
                                   QStringLiteral("Saved worlds (*.dla)"));
  if (path.isEmpty()) return;
  // With the edit's text as it is now, which the next step would read.
  run_->SetThresholdText(Edit_thresh->text().toStdString());
  const std::string bytes = run_->Save();
  TSaveFile::Write(path, [&bytes](QIODevice& file) {
    return file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
  });
}

void TForm1::OpenWorld() {
  const QString path =
      AskOpenPath(QStringLiteral("Open world"), QStringLiteral("Saved worlds (*.dla);;All files (*)"));
  if (path.isEmpty()) return;
  auto run = std::make_unique<dla::TRun>(dla::TRun::Load(path.toStdString(), RunSettings()));
  drawingSize_ = QSize(run->World().DrawingWidth(), run->World().DrawingHeight());
  Edit_thresh->setText(QString::fromStdString(run->ThresholdText()));
  lastStep_ = run->Steps();
  stepChanged_ = true;
  ShowRun(std::move(run));
}

void TForm1::LatticeSize() {
  const QString current = QStringLiteral("%1x%2").arg(drawingSize_.width()).arg(drawingSize_.height());
  const QString text = AskLatticeSize(current);
  if (text.isEmpty()) return;
  const dla::tools::TDrawingSize size = dla::tools::DrawingSizeFromText(text.toStdString(), "Lattice size");
  drawingSize_ = QSize(size.Width, size.Height);
}

void TForm1::SavePng(const QImage& image, const QString& what, const QString& suffix) {
  const QString path = AskSavePath(QStringLiteral("Save %1 as PNG").arg(what), SuggestedName(suffix),
                                   QStringLiteral("PNG images (*.png)"));
  if (path.isEmpty()) return;
  TSaveFile::Write(path, [&image](QIODevice& file) { return image.save(&file, "PNG"); });
}

void TForm1::SetSpeed(int intervalMs) {
  Timer1->setInterval(intervalMs);
  for (QAction* a : Speeds->actions()) a->setChecked(a->data().toInt() == intervalMs);
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::FormCreate() {
  // Without a window manager nobody acts on the request to maximise, so the
  // window takes the available screen area itself. With one, the window
  // keeps its laid-out size as its normal geometry, where "restore" returns.
  if (!WindowManagerRuns()) {
    if (const QScreen* screen = this->screen()) setGeometry(screen->availableGeometry());
  }
  setWindowState(windowState() | Qt::WindowMaximized);
  CentrePanel1();
  // Every seeding of a setup reads the fixed seed, so every setup repeats
  // the run that dla-batch --seed makes.
  dla::TRun::TSettings settings = RunSettings();
  settings.DrawingWidth = drawingSize_.width();
  settings.DrawingHeight = drawingSize_.height();
  settings.Agents = UpD_anzAg->Position();
  settings.ThresholdText = Edit_thresh->text().toStdString();
  run_ = std::make_unique<dla::TRun>(settings);
  CreateDrawingImage();
  Chart1->SetSeries(&run_->Series());
  MeasuresChart->SetSeries(&run_->MeasuresSeries());
  ShowSeed();
  // Qt composes every repaint in the window's back buffer: ZeichenPanel is
  // double-buffered without being asked. StepCount starts at 0 in a new
  // world. The first frame draws the picture.
  worldChanged_ = true;
}

dla::TRun::TSettings TForm1::RunSettings() const {
  dla::TRun::TSettings settings;
  settings.Seed = fixedSeed_;
  settings.OutlineBuckets = dla::RunDefaults.OutlineBuckets;
  // For the measures chart and its export, live.
  settings.KeepMeasures = true;
  return settings;
}

void TForm1::ShowRun(std::unique_ptr<dla::TRun> run) {
  // The charts let go of the old series before they go.
  Chart1->SetSeries(&run->Series());
  MeasuresChart->SetSeries(&run->MeasuresSeries());
  run_ = std::move(run);
  const QSize area(World().DrawingWidth(), World().DrawingHeight());
  if (DrawingImage->Picture().size() != area) DrawingImage->SetPictureSize(area);
  worldChanged_ = true;
  ShowSeed();
}

void TForm1::FormCanResize() { CentrePanel1(); }

void TForm1::FormDestroy() {
  // The movie is finished while the window still stands, so that closing
  // the window leaves a whole movie.
  Recorder->StopAndWait();
  frame_.stop();
  Timer1->stop();
  delete DrawingImage;
  DrawingImage = nullptr;
  delete ZeichenPanel;
  ZeichenPanel = nullptr;
  Chart1->SetSeries(nullptr);
  MeasuresChart->SetSeries(nullptr);
  run_.reset();
}

void TForm1::B_resetClick() {
  Edit_anzAg->setText(QString::number(dla::RunDefaults.Agents));
  Edit_thresh->setText(QString::fromLatin1(dla::RunDefaults.ThresholdText));
}

void TForm1::B_setupClick() {
  if (drawingSize_ != QSize(World().DrawingWidth(), World().DrawingHeight())) {
    // A new lattice: a new run over it, set up as every setup is.
    dla::TRun::TSettings settings = RunSettings();
    settings.DrawingWidth = drawingSize_.width();
    settings.DrawingHeight = drawingSize_.height();
    settings.Agents = UpD_anzAg->Position();
    settings.ThresholdText = Edit_thresh->text().toStdString();
    ShowRun(std::make_unique<dla::TRun>(settings));
    return;
  }
  run_->NewSetup(UpD_anzAg->Position());
  Chart1->SeriesChanged();
  MeasuresChart->SeriesChanged();
  ShowSeed();
  worldChanged_ = true;
}

void TForm1::B_stopClick() {
  if (Timer1->isActive())
    Timer1->stop();
  else
    Timer1->start();
}

void TForm1::Timer1Timer() {
  const dla::StepResult result = run_->Step(Edit_thresh->text().toStdString());
  if (!result.AnyFree) Timer1->stop();
  lastStep_ = result.StepNumber;
  stepChanged_ = true;
  Chart1->SeriesChanged();
  MeasuresChart->SeriesChanged();
  worldChanged_ = true;
}

void TForm1::Timer1Tick() {
  if (Timer1->interval() != FastestIntervalMs) {
    Timer1Timer();
    return;
  }
  // No event is handled inside the batch, so the threshold text stays as
  // it is and only the run's end switches Timer1 off here.
  constexpr qint64 batchNs = qint64{FastestBatchMs} * 1000000;
  QElapsedTimer clock;
  clock.start();
  do {
    Timer1Timer();
  } while (Timer1->isActive() && clock.nsecsElapsed() < batchNs);
}

QPoint TForm1::CentredPanelPosition(QSize outer, QSize panel) {
  const auto centre = [](int whole, int part) {
    return dla::Low32(dla::RoundHalfEven(whole * 0.5L - part * 0.5L));
  };
  return {centre(outer.width(), panel.width()), centre(outer.height(), panel.height())};
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  errors_.Guard([this] { FormCanResize(); });
}

void TForm1::timerEvent(QTimerEvent* event) {
  if (event->timerId() == frame_.timerId())
    ShowFrame();
  else
    QWidget::timerEvent(event);
}

void TForm1::CreateDrawingImage() {
  DrawingImage =
      new TDrawingImage(QSize(World().DrawingWidth(), World().DrawingHeight()), ZeichenPanel);
  DrawingImage->setObjectName(QStringLiteral("DrawingImage"));
  DrawingImage->setGeometry(0, 0, ZeichenPanel->width(), ZeichenPanel->height());
  // A hidden widget hears of its new size only once shown.
  DrawingImage->Fit();
  DrawingImage->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(DrawingImage, &QWidget::customContextMenuRequested, this,
          [this](QPoint at) { OpenContextMenu(DrawingImage, at); });
  DrawingImage->show();
}

void TForm1::CentrePanel1() {
  Panel1->move(CentredPanelPosition(frameGeometry().size(), Panel1->size()));
}

void TForm1::ShowFrame() {
  if (DrawingImage) {
    if (worldChanged_) DrawWorld();
    // Every frame shown, changed or not, so that the movie keeps the
    // window's time.
    Recorder->Frame(DrawingImage->Picture());
  }
  if (stepChanged_) {
    stepChanged_ = false;
    SetStepsText(QString::number(lastStep_));
  }
  Chart1->RefreshIfDue();
  MeasuresChart->RefreshIfDue();
}

void TForm1::DrawWorld() {
  DrawingImage->Draw(World());
  worldChanged_ = false;
}

void TForm1::SetStepsText(const QString& text) {
  lbl_Steps->setText(text);
  const int width = lbl_Steps->sizeHint().width();
  lbl_Steps->setGeometry(StepsRight - width, StepsTop, width, StepsHeight);
}
