#pragma once
// The objects of the graph component: display items (one graph view each), their curves (graph
// items), markers, axes, legend and caption, and the lists that own them. Plain data with no
// widget or GL in it; the component (TGraphDisplay3D) owns the lists and draws the active item.

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "graph/GraphTypes.h"
#include "graph/Matrix.h"

namespace kelvane::graph {

class TGraphDisplayItem;

using TGraphData = std::shared_ptr<std::vector<TGDGISample>>; // shared by reference

struct FontSpec {
    QString family = QStringLiteral("Tahoma");
    int size = 12;
    TColor color = 0xFFFFFF;
    bool bold = false;
    bool italic = false;
};

enum TGraphDisplayMarkerChangeType { gdmctAdd, gdmctDelete, gdmctMove, gdmctHover, gdmctLeave };
enum TGraphDisplayItemAxisYPosition { gdiapyLeft, gdiapyRight, gdiapyBoth };
enum TGraphDisplayItemAxisXPosition { gdiapxBottom, gdiapxTop, gdiapxBoth };
enum TGraphDisplayItemLegendPosition { gdilpTopLeft, gdilpTopRight, gdilpBottomLeft, gdilpBottomRight };
enum TGraphDisplayItemSelectionMode { gdismGlobal, gdismSingle };

// A list that owns its objects and keeps each one's Index at its position.
template <typename T, typename Owner> class GraphList {
public:
    explicit GraphList(Owner* owner) : owner_(owner) {}
    int Count() const { return static_cast<int>(items_.size()); }
    T* GetItem(int index) const {
        return index >= 0 && index < Count() ? items_[static_cast<std::size_t>(index)].get() : nullptr;
    }
    T* operator[](int index) const { return GetItem(index); }
    T* Add() {
        items_.push_back(std::make_unique<T>(owner_));
        items_.back()->Index = Count() - 1;
        return items_.back().get();
    }
    void Delete(int index) {
        if (index < 0 || index >= Count())
            return;
        items_.erase(items_.begin() + index);
        for (int i = 0; i < Count(); ++i)
            items_[static_cast<std::size_t>(i)]->Index = i;
    }
    void Clear() { items_.clear(); }
    Owner* owner() const { return owner_; }

private:
    Owner* owner_;
    std::vector<std::unique_ptr<T>> items_;
};

class TGraphDisplayGraphItem {
public:
    explicit TGraphDisplayGraphItem(TGraphDisplayItem* owner) : Owner(owner) {}

    double FPosition = 0;
    QString Name;
    TGraphDisplayGraphItemColorFrom ColorFrom = gdgicfGlobal;
    TColor Color = 0x00BB00;
    TColor BottomColor = 0;
    int Index = 0;
    int Group = 0;
    TGraphData Samples = std::make_shared<std::vector<TGDGISample>>();
    int D3DVertexType = 3; // 3 line strip, 4 bars
    TGraphDisplayType DisplayType = gdtAsParent;
    double Zoom = 0;
    TGraphDisplayGraphItemStereoID StereoID = gdgisidLeft;
    bool Visible = true;
    double SelectionStart = 0;
    double SelectionEnd = 0;
    std::vector<TCustomVertex> VertexBufferSamples; // what the renderer uploads
    std::uint64_t VertexBufferRevision = 0;         // bumped at every rebuild
    int VertexCountSamples = 0;
    float SampleAmplitude = 1.0f;
    double MinimumAmplitudeValue = 0;
    void* User = nullptr;
    TGraphDisplayItem* Owner;

    // Minus FPosition / 600; writing stores minus the value times 600.
    double Position() const { return -FPosition / 600; }
    void SetPosition(double value) { FPosition = -value * 600; }
    // Deletes this object from its owner (it is freed).
    void Delete();
};

class TGraphDisplayMarker {
public:
    explicit TGraphDisplayMarker(TGraphDisplayItem* owner) : Owner(owner) {}
    double Position = 0;
    QString Name;
    std::uint32_t Color = 0xFFAAAAAA;
    int Index = 0;
    std::int64_t User = 0;
    TGraphDisplayItem* Owner;
};

struct TGraphDisplayItemAxisY {
    FontSpec Font;
    int Precision = 7;
    int Digits = 4;
    TGraphDisplayItemAxisRangeType RangeType = gdiartAutomaticMaximum;
    double CustomRangeMaximum = 1.0;
    double CustomRangeMinimum = 0.0;
    TGraphDisplayItemAxisYPosition Position = gdiapyBoth;
    bool Visible = true;
    int GridCount = 10;
    std::uint32_t GridColor = 0xFF444444;
    bool GridVisible = true;
};

struct TGraphDisplayItemAxisX {
    FontSpec Font;
    int Precision = 7;
    int Digits = 4;
    TGraphDisplayItemAxisXPosition Position = gdiapxBoth;
    bool Visible = true;
    int GridCount = 10;
    std::uint32_t GridColor = 0xFF444444;
    bool GridVisible = true;
};

struct TGraphDisplayItemAxis {
    TGraphDisplayItemAxisY AxisY;
    TGraphDisplayItemAxisX AxisX;
    bool CenterLine = true;
};

struct TGraphDisplayItemLegend {
    FontSpec Font;
    TGraphDisplayItemLegendPosition Position = gdilpTopLeft;
    bool Visible = true;
};

struct TGraphDisplayItemCaption {
    FontSpec Font{QStringLiteral("Tahoma"), 14, 0xFFFFFF, false, false};
    QString Text;
    bool Visible = true;
};

class TGraphDisplayItems;

class TGraphDisplayItem {
public:
    explicit TGraphDisplayItem(TGraphDisplayItems* owner);
    ~TGraphDisplayItem();

    double FPosition = 0;
    QString Name;
    GraphList<TGraphDisplayGraphItem, TGraphDisplayItem> GraphItems{this};
    TColor BackColor = 0;
    TColor SelectionColor = 0xEEEEEE;
    int SelectionBlendMode = 1;
    TColor SelectionLineColor = 0x991111;
    TGraphDisplayType DisplayType = gdtMono;
    TGraphDisplayItemSelectionMode SelectionMode = gdismGlobal;
    int MultiCount = 0;
    TGraphDisplayItemAxis Axis;
    TGraphDisplayItemLegend Legend;
    TGraphDisplayItemCaption Caption;
    int Index = 0;
    double Zoom = 1.0;
    double ZoomInMultiplier = 1.25;
    double ZoomOutMultiplier = 0.75;
    double SelectionStart = 0;
    double SelectionEnd = 1.0;
    GraphList<TGraphDisplayMarker, TGraphDisplayItem> Markers{this};
    bool MarkersVisible = true;
    int VertexCountCoords = 0;
    int VertexCountGridVertical = 0;
    int VertexCountMarkers = 0;
    Matrix WorldMatrix = Matrix::Identity();
    Matrix SamplesRotationMatrix = Matrix::Identity();
    float SampleAmplitude = 1.0f;
    bool StartupAnim = false;
    float StartupAnimAngle = 0;
    bool Rendering = false;
    QString BackgroundPictureFileName;
    void* User = nullptr;
    TGraphDisplayItems* Owner;
    std::recursive_mutex SelectionCriticalSection;
    std::recursive_mutex RenderCriticalSection;

    double Length() const { return FLength; }
    // Also sets SelectionEnd of the item and of every curve.
    void SetLength(double value);

    // The largest VertexCountSamples of the curves, at least 1.
    int MaximumVertexCount() const;
    float MaximumAmplitude() const;
    float MinimumAmplitude() const;
    double MinimumAmplitudeValue() const;
    int MaximumAmplitudeGraph() const;
    int MinimumAmplitudeGraph() const;

    void Delete();

private:
    double FLength = 1.0;
};

// The hooks by which the lists reach their component.
struct GraphComponentHooks {
    std::function<int()> activeIndex;
    std::function<void(int)> setActiveIndex;
    std::function<void()> repaint;
    // OnMarkerChange: false vetoes.
    std::function<bool(TGraphDisplayItem*, TGraphDisplayMarker*, TGraphDisplayMarkerChangeType)> markerChange;
};

class TGraphDisplayItems {
public:
    explicit TGraphDisplayItems(GraphComponentHooks hooks) : hooks_(std::move(hooks)) {}
    int Count() const { return list_.Count(); }
    TGraphDisplayItem* operator[](int index) const { return list_.GetItem(index); }
    TGraphDisplayItem* GetItem(int index) const { return list_.GetItem(index); }
    // Appends a display item; the first one becomes active.
    TGraphDisplayItem* Add();
    void Delete(int index);
    void Clear();
    const GraphComponentHooks& hooks() const { return hooks_; }

private:
    GraphList<TGraphDisplayItem, TGraphDisplayItems> list_{this};
    GraphComponentHooks hooks_;
};

// Adds a marker to an item; OnMarkerChange may veto it (then nothing is added and null returned).
TGraphDisplayMarker* AddMarker(TGraphDisplayItem& item);

// Builds a curve's vertices from its samples (data range by the item's Y axis, then a line strip
// for D3DVertexType 3 or bars for 4; other types build nothing) under the item's render lock.
void BuildCurveVertices(TGraphDisplayItem& item, TGraphDisplayGraphItem& graphItem, int maximumVertexCount);

} // namespace kelvane::graph
