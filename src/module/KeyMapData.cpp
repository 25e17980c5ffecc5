#include "module/KeyMapData.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kLastKey = 127;

} // namespace

KeyMapData::KeyMapData(int mergeMode, int transpose, int lowKey, int highKey)
    : mergeMode(mergeMode), transpose(transpose), lowKey(lowKey), highKey(highKey)
{
}

void KeyMapData::AddKey(int low, int high, const QString& text)
{
    insert(Key{low, high, text});
}

void KeyMapData::AddKeys(std::span<const Key> keys)
{
    for (const Key& key : keys)
        insert(key);
}

void KeyMapData::ToKeyArray(KeyTexts& texts) const
{
    KeyTexts expanded;
    for (const Key& key : *this) {
        // Walk only the part of the range that lies on the keyboard: a
        // range read from a document may reach far beyond it, and a high key
        // of INT_MAX must not make the loop counter overflow.
        const int first = std::max(key.lowKey, 0);
        const int last = std::min(key.highKey, kLastKey);
        for (int k = first; k <= last; ++k) {
            QString& entry = expanded[size_t(k)];
            if (!entry.isEmpty())
                entry += u'/';
            entry += key.text;
        }
    }
    const int first = std::max(lowKey, 0);
    const int last = std::min(highKey, kLastKey);
    for (int i = first; i <= last; ++i) {
        // 64-bit sum: a transpose near the int limits must not wrap into range.
        const std::int64_t j = std::int64_t(i) + transpose;
        if (j >= 0 && j <= kLastKey)
            texts[size_t(i)] = expanded[size_t(j)];
    }
}

void KeyMapData::FromKeyArray(const KeyTexts& texts)
{
    clear();
    int runStart = 0;
    for (int k = 1; k <= int(texts.size()); ++k) {
        if (k < int(texts.size()) && texts[size_t(k)] == texts[size_t(runStart)])
            continue;
        if (!texts[size_t(runStart)].isEmpty())
            insert(Key{runStart, k - 1, texts[size_t(runStart)]});
        runStart = k;
    }
}

bool KeyMapData::Merge(std::span<const KeyMapData* const> maps)
{
    if (maps.size() > size_t(kMaxMergeMaps))
        return false;

    // Expand every map first: this map may be one of the inputs.
    const size_t count = maps.size();
    std::vector<KeyTexts> keys(count);
    for (size_t m = 0; m < count; ++m) {
        if (maps[m])
            maps[m]->ToKeyArray(keys[m]);
    }

    // A text that a later map repeats on the same key is dropped there, so
    // two layers playing one sample show it once.
    for (size_t k = 0; k < KeyTexts().size(); ++k) {
        for (size_t a = 0; a < count; ++a) {
            for (size_t b = a + 1; b < count; ++b) {
                if (keys[a][k].compare(keys[b][k], Qt::CaseInsensitive) == 0)
                    keys[b][k].clear();
            }
        }
    }

    KeyTexts result;
    auto join = [&](int mode) {
        for (size_t m = 0; m < count; ++m) {
            if (!maps[m] || maps[m]->mergeMode != mode)
                continue;
            for (size_t k = 0; k < result.size(); ++k) {
                const QString& text = keys[m][k];
                if (text.isEmpty())
                    continue;
                if (result[k].isEmpty())
                    result[k] = text;
                else
                    result[k] += u'+' + text;
            }
        }
    };
    join(MergeLead);
    join(MergeAppend);
    for (size_t m = 0; m < count; ++m) {
        if (!maps[m] || maps[m]->mergeMode != MergeReplace)
            continue;
        for (size_t k = 0; k < result.size(); ++k) {
            if (!keys[m][k].isEmpty())
                result[k] = keys[m][k];
        }
    }
    FromKeyArray(result);
    return true;
}

bool KeyMapData::Merge(const KeyMapData* const* maps, int count)
{
    if (count < 0 || (count > 0 && !maps))
        return false;
    return Merge(std::span<const KeyMapData* const>(maps, size_t(count)));
}
