#pragma once
// TGraphDisplay3D: a panel that draws the active display item's curves with OpenGL. It hosts an
// inner panel (which shows the component's Caption while no device draws over it), the logo
// picture and two scroll bars (standard or flat). The mouse selects, moves markers and plays, the
// wheel and Zoom / ShowAll change the view (animated), and samples may come from a worker thread.
// Where no OpenGL context can be made (the offscreen platform, no driver) it stays that panel.

#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <functional>
#include <memory>

#include "graph/FatScrollBar.h"
#include "graph/GraphModel.h"
#include "graph/SampleThread.h"
#include "graph/ViewMath.h"

namespace kelvane::graph {
enum TGraphDisplayPlayStatus { gdpsStoped, gdpsPlaying, gdpsPaused, gdpsRecording };
}
#include "graph/GraphRenderer.h"

namespace kelvane::graph {

class GraphView;

class TGraphDisplay3D : public QWidget {
public:
    explicit TGraphDisplay3D(QWidget* parent = nullptr);
    ~TGraphDisplay3D() override;

    TGraphDisplayItems Items;

    int ActiveIndex() const { return activeIndex_; }
    void SetActiveIndex(int index);

    // Properties (values of a new component).
    std::int64_t MaximumVertexCount = 500000;
    bool Animate = true;
    bool AutoReInit = true;
    bool ShowMarkers = true;
    bool ShowSelection = true;
    bool ShowCursor = false;
    bool SolidCursor = false;
    bool SuppressErrors = false;
    bool Antialiasing = false;
    int ScrollBarHeight = 10; // both scroll bars; SetScrollBarHeight applies it at once
    TD3DMaximumVertexCountMode MaximumVertexCountMode = gd3dCustom;
    TGraphDisplayAnimations Animations = gdaStartupRotation | gdaZoomSelection | gdaShowAll | gdaMouseWheelZoom;
    int AnimationDuration = 500;
    TGraphDisplayScrollBarType ScrollBarType = gdsbtWindows; // SetScrollBarType applies it at once
    TD3DVertexProcessingMode D3DVertexProcessingMode = gd3dvpmHardware;
    TGraphDisplaySamplesManagement SamplesManagement = gdsmKeep;
    bool SampleInSeparateThread = false;
    bool SampleScroll = false;
    bool MultiThread = false;
    bool AllowSelect = true;
    bool AllowQuickPlay = false;
    bool AllowWheelZoom = true;
    bool AllowAmplitudeChangeWithKey = false;
    bool CaptureMouseOnHover = true;
    bool Panel3DPictureVisible = true;
    int Progress() const { return progress_; }
    void SetPanel3DColor(const QColor& color);
    void SetPanel3DPicture(const QPixmap& picture);
    std::uint32_t FPS() const { return fps_; }
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

    // Events.
    std::function<void(TGraphDisplay3D*, TGraphDisplayItem*, TGraphDisplayGraphItem*)> OnNeedSamples;
    std::function<void(TGraphDisplay3D*, TGraphDisplayItem*)> BeforeD3DRender, AfterD3DRender;
    std::function<void(TGraphDisplay3D*, TGraphDisplayItem*)> BeforeD3DSamplesRender, AfterD3DSamplesRender;
    std::function<void(TGraphDisplay3D*)> OnD3DDestroy;
    std::function<bool(TGraphDisplay3D*, TGraphDisplayItem*, TGraphDisplayMarker*, TGraphDisplayMarkerChangeType)>
        OnMarkerChange;
    std::function<QString(TGraphDisplay3D*, TGraphDisplayItem*, double)> OnNeedAxisXText, OnNeedAxisYText;
    std::function<TGraphDisplayPlayStatus(TGraphDisplay3D*, TGraphDisplayItem*)> OnNeedPlayStatus;
    std::function<double(TGraphDisplay3D*, TGraphDisplayItem*)> OnNeedPlaybackPosition;
    std::function<void(TGraphDisplay3D*, TGraphDisplayItem*)> OnPause;
    std::function<void(TGraphDisplay3D*, TGraphDisplayItem*, double)> OnPlay;
    std::function<void(TGraphDisplay3D*, TGraphDisplayGraphItem*, TGraphData)> OnNeedSamplesInThread;
    std::function<void(TGraphDisplay3D*, TGraphDisplayGraphItem*)> OnSampleThreadFinished;
    std::function<void(TGraphDisplay3D*, TGraphDisplayItem*, TGraphDisplayGraphItem*)> OnSelection;
    std::function<void(QObject*, Qt::MouseButton, int, int)> OnMouseDown, OnMouseUp;
    std::function<void(QObject*, int, int)> OnMouseMove;
    std::function<void(QObject*, int&)> OnMouseWheel;
    std::function<void(QObject*, int, int, TGraphDisplayItem*, TGraphDisplayMarker*)> OnDblClick;
    std::function<void(QObject*, int&)> OnKeyDown;
    std::function<void(TGraphDisplay3D*)> OnScroll;

    // Milliseconds of a monotonic clock, for the frame-rate counter (replaceable for tests).
    std::function<std::int64_t()> clock;

    // If Animate, arms the start-up rotation; then InitD3D and InitializeGeometries. True.
    bool Initialize(int index);
    // (Re)creates the device of item `index`; false when no OpenGL context can be made (with the
    // error text "Error while creating D3D Device!" thrown unless SuppressErrors).
    bool InitD3D(int index);
    bool InitializeGeometries(int index);
    void CreateVertexesFromSamples(int index, int graphIndex);
    // Draws the active item once; nothing without an active item with a device.
    void Render();
    void Clear();
    void D3DFree(bool force);
    int FindItem(const QString& name) const;
    // Fires OnPause for item `index`; false when no handler is set.
    bool PauseStream(int index);
    // Deletes display item `index`, then D3DFree(false); errors are swallowed.
    void StreamClose(int index);
    // Arms the start-up rotation of item `index`.
    void SetupStartupAnim(int index);
    // Shows the logo picture over the inner panel.
    void ShowLogo();
    bool LogoVisible() const;
    bool HasDevice() const;
    QWidget* innerPanel() const { return panel_; }
    QString panelText() const { return captionLabel_->text(); }

    // The frame-rate counter, advanced by each presented frame (FPS stays 0 during the first second).
    void FrameDrawn();
    // What a frame of the active item needs from the component.
    RenderOptions renderOptions() const;
    // The playback cursor's x in vertex units, and the scroll bars (for hosts and tests).
    float CursorX() const { return cursorX_; }
    TSampleScrollBar* scrollBar() const { return scrollBar_; }
    TSampleFlatScrollBar* FlatScrollBar() const { return flatScrollBar_; }

    // The visible scroll bar (by ScrollBarType), both counted with the position running
    // 0 ... maximum - page.
    void SetScrollBarType(TGraphDisplayScrollBarType type);
    void SetScrollBarHeight(int height);
    // Fits the scroll range to the active item's Zoom (600 x Zoom), keeping the relative position.
    void SetScrollBar();
    int GetScrollBarMax() const;
    void SetScrollBarMax(int value);
    int GetScrollBarPosition() const;
    void SetScrollBarPosition(double value);
    int GetScrollBarTag() const;
    int GetScrollBarPageSize() const;
    // The visible bar moved: the active item follows it unless the bar's tag is set; then OnScroll.
    void ScrollBarChange();
    // The view of the active item (Zoom and scroll position).
    // The data value under pixel column x of the inner panel; also finds the hovered marker.
    double MousePosition2XValue(double x);
    // For a data fraction x of Length, the fraction of the visible width where it shows.
    double XPercentValue2ViewPercent(double x) const;
    // The gdtMulti band under pixel row y.
    int MousePosition2Index(double y) const;
    // Zooms to the active item's selection; nothing for the whole data or an empty selection.
    void Zoom();
    // Back to zoom 1 at scroll position 0.
    void ShowAll();
    // Selects the whole data of the active item.
    void SelectAll();
    // The wheel zoom about the last mouse position, one step per wheel notch.
    void MouseWheelZoom(int delta);
    // The marker under the mouse, -1 for none.
    std::int64_t ActiveMarker() const { return activeMarker_; }
    // Mouse state of the inner panel.
    bool MovingMarker() const { return movingMarker_; }
    bool MovingSelection() const { return movingSelection_; }

    // The sample thread (with SampleInSeparateThread): stops and waits for a running worker.
    void CancelSampleThread();
    bool SampleThreadRunning() const { return sampleThread_ != nullptr; }
    // For a host's handler on the worker: reports progress to the GUI thread (thread-safe).
    void PostProgress(int progress) const;
    QObject* HandleWndProc() const { return wndProc_; }

    // The active item's Position property: FPosition / Length x the scroll maximum.
    double ItemPosition(const TGraphDisplayItem& item) const;
    void SetItemPosition(TGraphDisplayItem& item, double position) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PanelResize();
    void UpdatePlayback(TGraphDisplayItem& item);
    static bool OpenGLAvailable();

    int activeIndex_ = -1;
    QString caption_ = QStringLiteral("TGraphDisplay3D by Norvik");
    QWidget* panel_ = nullptr;
    QLabel* captionLabel_ = nullptr;
    QLabel* logo_ = nullptr;
    void ApplyScrollBarType();
    friend class SampleMessageWindow;
    friend class GraphView;
    void StartSampleThread(TGraphDisplayGraphItem& graphItem);
    void SampleMessage(SampleMessageEvent& message);
    void ApplySamplesPacket(std::unique_ptr<TSamplesPacket> packet);
    std::shared_ptr<TSampleThread> sampleThread_; // FSampleThread
    QObject* wndProc_ = nullptr;
    ScrollView View() const;
    // One animation step: Zoom and the scroll position under the render lock, then a frame (or,
    // with MultiThread, a 10 ms pause), paced to `msPerStep` since `startMs`.
    void AnimationStep(TGraphDisplayItem& item, double zoom, const std::function<double()>& position, int step,
                       int msPerStep, std::int64_t startMs);
    void RenderNow();
    QWidget* DeviceWidget() const; // the holder of the OpenGL surface, or null
    QWindow* DeviceWindow() const; // the OpenGL surface, or null
    void PaintDeviceNow();
    void ScrollViewTo(double position);
    void WatchInnerPanel(QWidget* widget);
    bool PanelMouseEvent(QEvent* event);
    bool ScrollBarKeyEvent(QObject* bar, QKeyEvent* event);
    void WheelEvent(QWheelEvent* event);
    void SelectionStartAt(TGraphDisplayItem& item, double value, double y);
    void SelectionEndAt(TGraphDisplayItem& item, double value, double y);
    void MarkerHover(TGraphDisplayItem& item, double value, double reach);
    QObject* Container() { return parent() != nullptr ? parent() : this; }
    std::int64_t activeMarker_ = -1;
    int mouseX_ = 0, mouseY_ = 0;
    bool movingMarker_ = false, movingSelection_ = false;
    bool mouseButtonLeft_ = false, mouseButtonRight_ = false, mouseButtonMiddle_ = false;
    void SetBarTag(int tag);
    TSampleScrollBar* scrollBar_ = nullptr;
    TSampleFlatScrollBar* flatScrollBar_ = nullptr;
    int progress_ = 0;
    QPointer<QWidget> device_; // holds view_, which goes with it
    QPointer<GraphView> view_;
    QImage background_; // the active item's background picture, loaded with its device
    float cursorX_ = 0;
    bool active_ = false; // FActive
    std::uint32_t fps_ = 0, frames_ = 0;
    std::int64_t lastTime_ = 0;
};

} // namespace kelvane::graph
