// The marks of a comparison between the window's table and another
// configuration (what the device holds, or a file): which addresses differ as
// the table would show them, and what the cells cannot show. No widgets: the
// window paints Marked() cells and repaints on changed(). The marks go with the
// next change to the model, or when the window clears them (the table replaced).
#pragma once

#include <QList>
#include <QObject>

#include <array>

class ConfigModel;
class ParamImage;

struct Comparison
{
    QList<int> addresses;       // differing addresses 1..64, ascending
    bool modeDiffers = false;   // the operating mode the other side decodes to
    bool optionsDiffer = false; // the common options
    int unshownBytes = 0;       // bytes whose differing bits the table does not show
    bool none() const
    {
        return addresses.isEmpty() && !modeDiffers && !optionsDiffer && unshownBytes == 0;
    }
};

class ComparisonMarks : public QObject
{
    Q_OBJECT
public:
    explicit ComparisonMarks(const ConfigModel& model, QObject* parent = nullptr);

    // `other` (bytes 0..69) decoded as the window would show it if it replaced
    // the table now, against the table; the differing addresses become marked.
    // The bits the table cannot show are counted as lumkctl diff counts them,
    // against the bytes a write would send from the table.
    Comparison Compare(const ParamImage& other);

    bool Marked(int page, int row) const;
    bool Any() const;
    void Clear();

signals:
    void changed();

private:
    const ConfigModel& model_;
    std::array<bool, 64> marked_{};
};

// The plain box's text after a comparison of the table with `other` (a port or
// a file name, as the title names it).
QString ComparisonText(const QString& other, const Comparison& comparison);
