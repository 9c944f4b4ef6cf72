#include "control/blockheights.h"

namespace
{
int lowbit(int i)
{
    return i & -i;
}
} // namespace

void BlockHeights::append(qreal height)
{
    const int node = size() + 1;
    m_values.push_back(height);
    m_tree.push_back(height + top(node - 1) - top(node - lowbit(node)));
}

void BlockHeights::truncate(int count)
{
    // A node covers only blocks up to its own index, so the nodes kept stay right.
    if (count < size()) {
        m_values.resize(size_t(count));
        m_tree.resize(size_t(count));
    }
}

void BlockHeights::set(int index, qreal height)
{
    const qreal delta = height - m_values[size_t(index)];
    if (delta == 0)
        return;
    m_values[size_t(index)] = height;
    for (int node = index + 1; node <= size(); node += lowbit(node))
        m_tree[size_t(node - 1)] += delta;
}

void BlockHeights::reset(int count, qreal height)
{
    m_values.assign(size_t(count), height);
    m_tree.resize(size_t(count));
    for (int node = 1; node <= count; ++node)
        m_tree[size_t(node - 1)] = height * lowbit(node);
}

qreal BlockHeights::top(int index) const
{
    qreal sum = 0;
    for (int node = index; node > 0; node -= lowbit(node))
        sum += m_tree[size_t(node - 1)];
    return sum;
}

int BlockHeights::indexAt(qreal y) const
{
    if (m_values.empty())
        return -1;
    // Descends the tree for the number of blocks that end at or above y.
    int count = 0;
    qreal covered = 0;
    int step = 1;
    while (step * 2 <= size())
        step *= 2;
    for (; step > 0; step /= 2) {
        const int node = count + step;
        if (node <= size() && covered + m_tree[size_t(node - 1)] <= y) {
            count = node;
            covered += m_tree[size_t(node - 1)];
        }
    }
    return qMin(count, size() - 1);
}
