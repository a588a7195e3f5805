#pragma once
// TGraphDisplay3D: a panel that draws the active display item's curves with OpenGL. It hosts an
// inner panel (which shows the component's Caption while no device draws over it), the logo
// picture and the scroll bar's place. Where no OpenGL context can be made (the offscreen platform,
// no driver) it stays that panel.

#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>
#include <functional>
#include <memory>

#include "graph/GraphModel.h"

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
    int ScrollBarHeight = 10;
    TD3DMaximumVertexCountMode MaximumVertexCountMode = gd3dCustom;
    TGraphDisplayAnimations Animations = gdaStartupRotation | gdaZoomSelection | gdaShowAll | gdaMouseWheelZoom;
    int AnimationDuration = 500;
    TGraphDisplayScrollBarType ScrollBarType = gdsbtWindows;
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
    // The playback cursor's x in vertex units, and the scroll bar (for hosts and tests).
    float CursorX() const { return cursorX_; }
    QScrollBar* scrollBar() const { return scrollBar_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PanelResize();
    void UpdatePlayback(TGraphDisplayItem& item);
    static bool OpenGLAvailable();

    int activeIndex_ = -1;
    QString caption_ = QStringLiteral("TGraphDisplay3D by Norvik");
    QWidget* panel_ = nullptr;
    QLabel* captionLabel_ = nullptr;
    QLabel* logo_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    QWidget* flatScrollBarPlace_ = nullptr; // where the custom scroll bar goes
    int progress_ = 0;
    QPointer<GraphView> view_;
    QImage background_; // the active item's background picture, loaded with its device
    float cursorX_ = 0;
    bool active_ = false; // FActive
    std::uint32_t fps_ = 0, frames_ = 0;
    std::int64_t lastTime_ = 0;
};

} // namespace kelvane::graph
