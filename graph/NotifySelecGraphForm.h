#pragma once
// What a graph tells its window about a picked point; the window's subclass owns the
// read-out button that shows the pick.

namespace velk {

class Tgraphex;

class TNotifySelecGraphForm {
public:
    virtual ~TNotifySelecGraphForm() = default;

    // The operator picked point `index` of `series`, drawn at (pixelX, pixelY).
    virtual void PointSelected(Tgraphex& graph, int pixelX, int pixelY, double xValue,
                               double yValue, int index, int series) = 0;
    // Every paint wipes the pick marker, so the read-out must go too.
    virtual void HideReadOutButton() = 0;
};

} // namespace velk
