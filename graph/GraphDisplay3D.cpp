#include "graph/GraphDisplay3D.h"

#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWindow>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <stdexcept>

namespace kelvane::graph {

QObject* MakeSampleMessageWindow(TGraphDisplay3D* owner);

// The device: an OpenGL window of its own over the inner panel that draws the active item. A
// native child window keeps OpenGL to the graph: a QOpenGLWidget would turn every repaint of the
// whole window (the process list's, twice a second) into an OpenGL composite of all of it.
class GraphView : public QOpenGLWindow {
public:
    explicit GraphView(TGraphDisplay3D* owner) : owner_(owner) {
        QSurfaceFormat format = QSurfaceFormat::defaultFormat();
        format.setSamples(owner->Antialiasing ? 4 : 0);
        setFormat(format);
        // The keys stay with the window's focus widget (the scroll bar takes them on hover).
        setFlag(Qt::WindowDoesNotAcceptFocus);
        setObjectName(QStringLiteral("GraphSurface"));
    }

    // The widget that holds this window in the panel: the component's device widget.
    void SetContainer(QWidget* container) { container_ = container; }

    void ClearOnce() {
        clearOnly_ = true;
        update();
    }
    // Draws the frame asked for now rather than at the next update request.
    void PaintNow() {
        if (!isExposed())
            return;
        update();
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(this, &request);
    }

protected:
    void initializeGL() override { ready_ = renderer_.Initialize(); }
    void paintGL() override {
        TGraphDisplayItem* item = owner_->Items[owner_->ActiveIndex()];
        if (item == nullptr || !ready_)
            return;
        if (clearOnly_) { // Clear: the item's background colour, nothing drawn
            clearOnly_ = false;
            const std::uint32_t c = ColorToD3DColor(item->BackColor);
            QOpenGLFunctions* gl = context() != nullptr ? context()->functions() : nullptr;
            if (gl == nullptr)
                return;
            gl->glClearColor(static_cast<float>((c >> 16) & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                             static_cast<float>(c & 0xFF) / 255.0f, 1.0f);
            gl->glClear(GL_COLOR_BUFFER_BIT);
            return;
        }
        item->Rendering = true;
        try {
            renderer_.RenderFrame(*item, owner_->renderOptions(), static_cast<int>(width() * devicePixelRatio()),
                                  static_cast<int>(height() * devicePixelRatio()));
            owner_->FrameDrawn();
        } catch (...) {
            // a frame's failure is swallowed
        }
        item->Rendering = false;
    }
    // The pointer's events reach this window, not its container: they are handled as the
    // container's, whose coordinates are the same (the window fills it).
    bool event(QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Leave:
            if (container_ != nullptr && owner_->eventFilter(container_, event))
                return true;
            break;
        default:
            break;
        }
        return QOpenGLWindow::event(event);
    }

private:
    TGraphDisplay3D* owner_;
    QPointer<QWidget> container_;
    GraphRenderer renderer_;
    bool ready_ = false;
    bool clearOnly_ = false;
};

TGraphDisplay3D::TGraphDisplay3D(QWidget* parent)
    : QWidget(parent),
      Items(GraphComponentHooks{[this] { return activeIndex_; }, [this](int index) { SetActiveIndex(index); },
                                [this] { update(); },
                                [this](TGraphDisplayItem* item, TGraphDisplayMarker* marker,
                                       TGraphDisplayMarkerChangeType change) {
                                    return !OnMarkerChange || OnMarkerChange(this, item, marker, change);
                                }}) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panel_ = new QWidget(this);
    auto* panelLayout = new QVBoxLayout(panel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    captionLabel_ = new QLabel(caption_, panel_);
    captionLabel_->setAlignment(Qt::AlignCenter);
    captionLabel_->setWordWrap(true);
    panelLayout->addWidget(captionLabel_);
    logo_ = new QLabel(panel_);
    logo_->hide();
    layout->addWidget(panel_, 1);
    // Both bars: maximum 600, page 600 (the whole curve at zoom 1), hidden until a device shows one.
    scrollBar_ = new TSampleScrollBar(this);
    scrollBar_->setPageStep(600);
    scrollBar_->SetMax(600);
    scrollBar_->setSingleStep(1);
    scrollBar_->setFixedHeight(ScrollBarHeight);
    scrollBar_->hide();
    layout->addWidget(scrollBar_);
    QObject::connect(scrollBar_, &QScrollBar::valueChanged, this, [this] { ScrollBarChange(); });
    flatScrollBar_ = new TSampleFlatScrollBar(this);
    flatScrollBar_->SetMax(600);
    flatScrollBar_->SetPageSize(600);
    flatScrollBar_->SetLargeChange(10);
    flatScrollBar_->setFixedHeight(ScrollBarHeight);
    flatScrollBar_->hide();
    flatScrollBar_->OnChange = [this](TFatScrollBar*) { ScrollBarChange(); };
    layout->addWidget(flatScrollBar_);
    wndProc_ = MakeSampleMessageWindow(this);
    WatchInnerPanel(panel_);
    WatchInnerPanel(captionLabel_);
    WatchInnerPanel(logo_);
    scrollBar_->installEventFilter(this);
    flatScrollBar_->installEventFilter(this);
}

TGraphDisplay3D::~TGraphDisplay3D() {
    CancelSampleThread();
    for (QObject* watched : {static_cast<QObject*>(panel_), static_cast<QObject*>(captionLabel_),
                             static_cast<QObject*>(logo_), static_cast<QObject*>(scrollBar_),
                             static_cast<QObject*>(flatScrollBar_)})
        watched->removeEventFilter(this);
    if (QWidget* device = DeviceWidget())
        device->removeEventFilter(this);
    D3DFree(true);
    Items.Clear();
}

bool TGraphDisplay3D::HasDevice() const { return !device_.isNull(); }

QWidget* TGraphDisplay3D::DeviceWidget() const { return device_.data(); }

QWindow* TGraphDisplay3D::DeviceWindow() const { return device_ ? view_.data() : nullptr; }

void TGraphDisplay3D::PaintDeviceNow() {
    if (GraphView* view = view_.data())
        view->PaintNow();
}

void TGraphDisplay3D::SetCaption(const QString& caption) {
    caption_ = caption;
    captionLabel_->setText(caption);
}

void TGraphDisplay3D::SetActiveIndex(int index) {
    activeIndex_ = index;
    if (Animate && Items[index] != nullptr)
        SetupStartupAnim(index);
    SetScrollBar();
}

void TGraphDisplay3D::SetupStartupAnim(int index) {
    TGraphDisplayItem* item = Items[index];
    if (item == nullptr)
        return;
    item->StartupAnim = true;
    item->StartupAnimAngle = 0;
    item->SamplesRotationMatrix = Matrix::RotationX(3.14159265f / 2);
}

bool TGraphDisplay3D::PauseStream(int index) {
    if (!OnPause)
        return false;
    OnPause(this, Items[index]);
    return true;
}

void TGraphDisplay3D::StreamClose(int index) {
    try {
        Items.Delete(index);
        D3DFree(false);
    } catch (...) {
    }
}

void TGraphDisplay3D::ShowLogo() {
    logo_->setVisible(true);
    logo_->raise();
    // No widget paints over a native window: the device steps aside until it is made again.
    if (QWidget* device = DeviceWidget())
        device->hide();
}

bool TGraphDisplay3D::LogoVisible() const { return logo_->isVisible(); }

void TGraphDisplay3D::SetPanel3DColor(const QColor& color) {
    QPalette palette = panel_->palette();
    palette.setColor(QPalette::Window, color);
    panel_->setPalette(palette);
    panel_->setAutoFillBackground(true);
}

void TGraphDisplay3D::SetPanel3DPicture(const QPixmap& picture) {
    logo_->setPixmap(picture);
    logo_->setScaledContents(true);
    logo_->setVisible(Panel3DPictureVisible && !HasDevice());
}

bool TGraphDisplay3D::OpenGLAvailable() {
    if (QGuiApplication::platformName() == QLatin1String("offscreen") ||
        QGuiApplication::platformName() == QLatin1String("minimal"))
        return false;
    QOpenGLContext context;
    return context.create();
}

bool TGraphDisplay3D::Initialize(int index) {
    if (Animate)
        SetupStartupAnim(index);
    if (SampleInSeparateThread) // the worker's packet brings the samples
        return true;
    InitD3D(index);
    InitializeGeometries(index);
    return true;
}

bool TGraphDisplay3D::InitD3D(int index) {
    TGraphDisplayItem* item = Items[index];
    if (index == -1 || item == nullptr)
        return false;
    D3DFree(false);
    const std::lock_guard<std::recursive_mutex> lock(item->RenderCriticalSection);
    logo_->hide();
    ApplyScrollBarType();
    if (!OpenGLAvailable()) {
        if (!SuppressErrors)
            throw std::runtime_error("Error while creating D3D Device!");
        return false;
    }
    // The background picture, loaded once with the device; a missing file is no error.
    background_ = QImage();
    if (!item->BackgroundPictureFileName.isEmpty() && QFile::exists(item->BackgroundPictureFileName) &&
        !background_.load(item->BackgroundPictureFileName) && !SuppressErrors)
        throw std::runtime_error("Error while loading D3D background image!");
    delete device_.data(); // the old device goes with its surface
    auto* view = new GraphView(this);
    view_ = view;
    device_ = QWidget::createWindowContainer(view, panel_);
    view->SetContainer(device_);
    WatchInnerPanel(device_);
    device_->setGeometry(panel_->rect());
    device_->show();
    device_->raise();
    active_ = true;
    Render();
    return true;
}

bool TGraphDisplay3D::InitializeGeometries(int index) {
    TGraphDisplayItem* item = Items[index];
    if (item != nullptr)
        for (int g = 0; g < item->GraphItems.Count(); ++g)
            CreateVertexesFromSamples(index, g);
    return true;
}

void TGraphDisplay3D::CreateVertexesFromSamples(int index, int graphIndex) {
    TGraphDisplayItem* item = Items[index];
    TGraphDisplayGraphItem* g = item != nullptr ? item->GraphItems[graphIndex] : nullptr;
    if (g == nullptr)
        return;
    if (SampleInSeparateThread) {
        StartSampleThread(*g);
        return;
    }
    if (OnNeedSamples)
        OnNeedSamples(this, item, g);
    if (!HasDevice())
        return; // nothing is built without a device
    try {
        BuildCurveVertices(*item, *g, static_cast<int>(std::min<std::int64_t>(MaximumVertexCount, 1 << 30)));
    } catch (const std::bad_alloc&) {
        if (!SuppressErrors)
            throw std::runtime_error("Error: Not enough memory to create vertex buffer for samples.");
    }
}

void TGraphDisplay3D::Render() {
    TGraphDisplayItem* item = Items[activeIndex_];
    if (item == nullptr || !HasDevice())
        return;
    UpdatePlayback(*item);
    if (GraphView* view = view_.data())
        view->update();
}

void TGraphDisplay3D::UpdatePlayback(TGraphDisplayItem& item) {
    // While the host plays, the view follows its position; the cursor shows it.
    if (SampleScroll && OnNeedPlayStatus && OnNeedPlaybackPosition && item.Length() != 0 &&
        OnNeedPlayStatus(this, &item) == gdpsPlaying) {
        const double position = OnNeedPlaybackPosition(this, &item);
        SetScrollBarPosition(std::trunc(GetScrollBarMax() * position / item.Length()) - 300);
    }
    if (ShowCursor && isVisible() && OnNeedPlaybackPosition && item.Length() != 0)
        cursorX_ = static_cast<float>(OnNeedPlaybackPosition(this, &item) / item.Length() * item.MaximumVertexCount() / 2);
}

void TGraphDisplay3D::Clear() {
    GraphView* view = view_.data();
    if (Items[activeIndex_] != nullptr && view != nullptr)
        view->ClearOnce();
}

void TGraphDisplay3D::D3DFree(bool force) {
    // The device is released when no display item can use it any more, or when forced.
    const bool unused = HasDevice() && Items[activeIndex_] == nullptr;
    if (!force && !unused)
        return;
    if (OnD3DDestroy && HasDevice())
        OnD3DDestroy(this);
    delete device_.data(); // and its window with it
    active_ = false;
}

int TGraphDisplay3D::FindItem(const QString& name) const {
    if (name.isEmpty())
        return -1;
    for (int i = 0; i < Items.Count(); ++i)
        if (Items[i]->Name == name)
            return i;
    return -1;
}

void TGraphDisplay3D::FrameDrawn() {
    // The rate of the frames presented before this one, over the last interval above a second.
    const std::int64_t now = clock ? clock() : QDateTime::currentMSecsSinceEpoch();
    if (now - lastTime_ > 1000) {
        fps_ = static_cast<std::uint32_t>(static_cast<double>(frames_) / static_cast<double>(now - lastTime_) * 1000);
        lastTime_ = now;
        frames_ = 0;
    }
    ++frames_;
}

RenderOptions TGraphDisplay3D::renderOptions() const {
    RenderOptions options;
    options.showSelection = ShowSelection;
    options.showMarkers = ShowMarkers;
    options.showCursor = ShowCursor;
    options.solidCursor = SolidCursor;
    options.antialiasing = Antialiasing;
    options.animate = Animate;
    options.startupRotation = Animate && (Animations & gdaStartupRotation) != 0;
    options.maximumVertexCount = static_cast<int>(std::min<std::int64_t>(MaximumVertexCount, 1 << 30));
    options.cursorX = cursorX_;
    options.activeMarker = static_cast<int>(activeMarker_);
    options.scrollMaximum = GetScrollBarMax() > 1 ? GetScrollBarMax() : 600;
    options.scrollPosition = GetScrollBarPosition();
    options.background = background_;
    auto* self = const_cast<TGraphDisplay3D*>(this);
    if (BeforeD3DRender)
        options.beforeRender = [self](TGraphDisplayItem* item) { self->BeforeD3DRender(self, item); };
    if (AfterD3DRender)
        options.afterRender = [self](TGraphDisplayItem* item) { self->AfterD3DRender(self, item); };
    if (BeforeD3DSamplesRender)
        options.beforeSamplesRender = [self](TGraphDisplayItem* item) { self->BeforeD3DSamplesRender(self, item); };
    if (AfterD3DSamplesRender)
        options.afterSamplesRender = [self](TGraphDisplayItem* item) { self->AfterD3DSamplesRender(self, item); };
    if (OnNeedAxisXText)
        options.axisXText = [self](TGraphDisplayItem* item, double v) { return self->OnNeedAxisXText(self, item, v); };
    if (OnNeedAxisYText)
        options.axisYText = [self](TGraphDisplayItem* item, double v) { return self->OnNeedAxisYText(self, item, v); };
    return options;
}

void TGraphDisplay3D::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PanelResize();
}

void TGraphDisplay3D::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A device made while the top-level's native window was being made anew (its flags changed)
    // sits in the old one, which is gone. One that is not on screen a turn of the event loop after
    // the show is therefore made again (at worst once more than needed).
    QTimer::singleShot(0, this, [this] {
        if (active_ && HasDevice() && view_ && !view_->isExposed()) {
            InitD3D(activeIndex_);
            InitializeGeometries(activeIndex_);
        }
    });
}

void TGraphDisplay3D::PanelResize() {
    // A complete new device at the new size, with every curve rebuilt.
    if (AutoReInit && active_ && HasDevice()) {
        InitD3D(activeIndex_);
        InitializeGeometries(activeIndex_);
    }
}

} // namespace kelvane::graph
