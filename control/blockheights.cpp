#include "control/blockheights.h"

namespace
{
int lowbit(int i)
{
    return i & -i;
}
} // namespace

qreal BlockHeights::prefix(int count) const
{
    qreal sum = 0;
    for (int node = count; node > 0; node -= lowbit(node))
        sum += m_tree[size_t(node - 1)];
    return sum;
}

void BlockHeights::add(int stored, qreal delta)
{
    if (delta == 0)
        return;
    m_values[size_t(stored)] += delta;
    for (int node = stored + 1; node <= int(m_values.size()); node += lowbit(node))
        m_tree[size_t(node - 1)] += delta;
}

void BlockHeights::rebuild(std::vector<qreal> values, int headroom)
{
    // The first `headroom` stored values are room for blocks put in front later.
    m_start = headroom;
    m_values.assign(size_t(headroom), 0);
    m_values.insert(m_values.end(), values.begin(), values.end());
    m_tree = m_values;
    for (int node = 1; node <= int(m_tree.size()); ++node) {
        const int parent = node + lowbit(node);
        if (parent <= int(m_tree.size()))
            m_tree[size_t(parent - 1)] += m_tree[size_t(node - 1)];
    }
}

void BlockHeights::append(qreal height)
{
    const int node = int(m_values.size()) + 1;
    m_values.push_back(height);
    m_tree.push_back(height + prefix(node - 1) - prefix(node - lowbit(node)));
}

void BlockHeights::truncate(int count)
{
    // A node covers only blocks up to its own index, so the nodes kept stay right.
    if (count < size()) {
        m_values.resize(size_t(m_start + count));
        m_tree.resize(size_t(m_start + count));
    }
}

void BlockHeights::set(int index, qreal height)
{
    add(m_start + index, height - at(index));
}

void BlockHeights::reset(int count, qreal height)
{
    rebuild(std::vector<qreal>(size_t(count), height), 0);
}

void BlockHeights::replace(int first, int removeCount, int insertCount, qreal height)
{
    const int count = size();
    const int after = count - first - removeCount;
    if (after <= first) {
        // Near the end: cut off and append again.
        const std::vector<qreal> tail(m_values.end() - after, m_values.end());
        truncate(first);
        for (int i = 0; i < insertCount; ++i)
            append(height);
        for (const qreal value : tail)
            append(value);
        return;
    }

    // Near the top: the blocks before `first` and the new ones go in front of the blocks kept.
    const std::vector<qreal> head(m_values.begin() + m_start, m_values.begin() + m_start + first);
    const int front = first + insertCount;
    const int start = m_start + first + removeCount - front;
    if (start < 0 || start > count) {
        // No room in front, or more room than blocks: the tree is built anew.
        std::vector<qreal> values = head;
        values.insert(values.end(), size_t(insertCount), height);
        values.insert(values.end(), m_values.end() - after, m_values.end());
        rebuild(std::move(values), qMin(count, 1024));
        return;
    }
    m_start = start;
    for (int i = 0; i < front; ++i)
        add(start + i, (i < first ? head[size_t(i)] : height) - m_values[size_t(start + i)]);
}

int BlockHeights::indexAt(qreal y) const
{
    if (size() == 0)
        return -1;
    // Descends the tree for the number of stored values that end at or above y.
    const qreal target = prefix(m_start) + y;
    const int stored = int(m_values.size());
    int count = 0;
    qreal covered = 0;
    int step = 1;
    while (step * 2 <= stored)
        step *= 2;
    for (; step > 0; step /= 2) {
        const int node = count + step;
        if (node <= stored && covered + m_tree[size_t(node - 1)] <= target) {
            count = node;
            covered += m_tree[size_t(node - 1)];
        }
    }
    return qBound(0, count - m_start, size() - 1);
}
