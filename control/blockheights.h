#pragma once

#include <QtGlobal>

#include <vector>

// Heights of the lines (text blocks) of a long log, for placing them on the page: the top of a
// block, the block at a given height and a change of one block's height all cost O(log n), and
// appending or cutting off blocks at the end costs O(log n) a block (a Fenwick tree).
class BlockHeights
{
public:
    int size() const { return int(m_values.size()); }
    qreal at(int index) const { return m_values[size_t(index)]; }

    void append(qreal height);
    // Keeps the first count blocks.
    void truncate(int count);
    void set(int index, qreal height);
    // count blocks, all of the same height.
    void reset(int count, qreal height);

    // Sum of the heights of the blocks before index.
    qreal top(int index) const;
    qreal total() const { return top(size()); }
    // The block that covers y; the first for y above, the last for y below all blocks; -1 when empty.
    int indexAt(qreal y) const;

private:
    std::vector<qreal> m_values;
    std::vector<qreal> m_tree; // m_tree[i - 1] sums the values (i - lowbit(i), i]
};
