#pragma once
// A key map: for each of the 128 MIDI keys, what sounds there (an instrument's
// sample name, a riff, a beat part). Held as key ranges; converted to and from
// a 128-entry per-key text array, and merged across a preset's layers.

#include <QString>

#include <array>
#include <set>
#include <span>
#include <vector>

/// A range of keys that share one text. The range may lie partly or wholly
/// outside 0 ... 127 (as read from a document); only keys inside count.
struct Key {
    int lowKey = 0;
    int highKey = 0;
    QString text;
};

/// Orders keys by low key only, so ranges with the same low key keep the
/// order they were added in.
struct KeyByLowKey {
    bool operator()(const Key& a, const Key& b) const { return a.lowKey < b.lowKey; }
};

/// One text per MIDI key.
using KeyTexts = std::array<QString, 128>;

class KeyMapData : public std::multiset<Key, KeyByLowKey> {
public:
    /// How a map's texts join the others in Merge.
    enum MergeMode : int {
        MergeAppend = 0,   ///< appended after the mode-1 texts, joined by "+"
        MergeLead = 1,     ///< placed first, joined by "+"
        MergeReplace = 2,  ///< replaces whatever the others put on a key
    };
    /// The most maps one Merge takes (four layers and a beat map).
    static constexpr int kMaxMergeMaps = 5;

    explicit KeyMapData(int mergeMode = MergeAppend, int transpose = 0, int lowKey = 0, int highKey = 127);
    virtual ~KeyMapData() = default;

    int mergeMode;   ///< a MergeMode
    int transpose;   ///< added to a key when reading the expanded map
    int lowKey;      ///< the keys this map covers in ToKeyArray
    int highKey;

    /// Adds one range after any range with the same low key.
    void AddKey(int low, int high, const QString& text);
    /// Adds ranges in the order given (as a document lists them).
    void AddKeys(std::span<const Key> keys);

    /// Fills texts[i] for every key i in lowKey ... highKey (clipped to
    /// 0 ... 127) with the expanded text of key i + transpose, or leaves it as
    /// it is when that key lies outside 0 ... 127; other entries are untouched.
    /// Ranges overlapping on a key join their texts with "/", in set order.
    void ToKeyArray(KeyTexts& texts) const;

    /// Rebuilds the ranges from runs of equal text (exact comparison); runs
    /// of empty text add nothing. Mode, transpose and key range stay.
    void FromKeyArray(const KeyTexts& texts);

    /// Replaces this map's ranges by the merge of maps (this map may be one
    /// of them; null entries count as empty maps): a text a later map repeats
    /// on the same key (ignoring case) is dropped; then mode-1 texts, then
    /// mode-0 texts are joined with "+", and a mode-2 text replaces the
    /// result. More than five maps is refused: false, and nothing changes.
    bool Merge(std::span<const KeyMapData* const> maps);
    bool Merge(const KeyMapData* const* maps, int count);
};
