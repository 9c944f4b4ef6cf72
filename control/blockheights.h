#pragma once

#include <QtGlobal>

#include <vector>

// Heights of the lines (text blocks) of a long log, for placing them on the page: the top of a
// block, the block at a given height and a change of one block's height all cost O(log n), and
// replacing blocks near either end costs O(log n) a block (a Fenwick tree whose front may be
// cut off: blocks dropped from the top leave their nodes behind until the tree is rebuilt).
class BlockHeights
{
public:
    int size() const { return int(m_values.size()) - m_start; }
    qreal at(int index) const { return m_values[size_t(m_start + index)]; }

    void append(qreal height);
    // Keeps the first count blocks.
    void truncate(int count);
    void set(int index, qreal height);
    // count blocks, all of the same height.
    void reset(int count, qreal height);
    // Replaces removeCount blocks from index first by insertCount blocks of the given height. Costs
    // O(log n) a block between the change and the nearer end.
    void replace(int first, int removeCount, int insertCount, qreal height);

    // Sum of the heights of the blocks before index.
    qreal top(int index) const { return prefix(m_start + index) - prefix(m_start); }
    qreal total() const { return top(size()); }
    // The block that covers y; the first for y above, the last for y below all blocks; -1 when empty.
    int indexAt(qreal y) const;

private:
    // Sum of the first count stored values, the dropped ones included.
    qreal prefix(int count) const;
    void add(int stored, qreal delta);
    void rebuild(std::vector<qreal> values, int headroom);

    std::vector<qreal> m_values; // stored values; the blocks are those from m_start on
    std::vector<qreal> m_tree;   // m_tree[i - 1] sums the stored values (i - lowbit(i), i]
    int m_start = 0;
};
