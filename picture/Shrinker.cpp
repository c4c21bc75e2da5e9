#include "picture/Decoders.h"

#include <cstring>
#include <new>

namespace qb::picture {

namespace {

int factor(int natural, int box)
{
    return box > 0 ? qMax(1, natural / box) : 1;
}

// Up to four samples spread evenly over a block of `factor` pixels.
int samplesPer(int factor)
{
    return qMin(4, factor);
}

} // namespace

QSize shrunkSize(QSize natural, QSize box)
{
    if (box.isEmpty())
        return natural;
    const int fx = factor(natural.width(), box.width()), fy = factor(natural.height(), box.height());
    return QSize((natural.width() + fx - 1) / fx, (natural.height() + fy - 1) / fy);
}

Shrinker::Shrinker(QSize natural, QSize box, QImage::Format format) : m_natural(natural)
{
    if (!box.isEmpty()) {
        m_fx = factor(natural.width(), box.width());
        m_fy = factor(natural.height(), box.height());
    }
    m_rowStep = m_fy / samplesPer(m_fy);
    m_colStep = m_fx / samplesPer(m_fx);
    m_image = newImage(shrunkSize(natural, box.isEmpty() ? QSize() : box), format);
    if (m_fx > 1 || m_fy > 1) {
        // Four sums a pixel of the result: a box the size of a screen needs
        // a few tens of MB, a box of absurd size must fail in words.
        try {
            m_sums.assign(size_t(m_image.width()) * size_t(m_image.height()) * 4, 0);
            m_rowsAdded.assign(size_t(m_image.height()), 0);
        } catch (const std::bad_alloc&) {
            refuseOutOfMemory(m_image.width(), m_image.height());
        }
    }
}

bool Shrinker::wants(int y) const
{
    if (y < 0 || y >= m_natural.height())
        return false;
    const int offset = y % m_fy;
    return offset % m_rowStep == 0 && offset / m_rowStep < samplesPer(m_fy);
}

void Shrinker::addRow(int y, const QRgb* row)
{
    if (!wants(y))
        return;
    if (m_sums.empty()) {
        std::memcpy(m_image.scanLine(y), row, size_t(m_natural.width()) * sizeof(QRgb));
        return;
    }
    const int outY = y / m_fy, outWidth = m_image.width(), samples = samplesPer(m_fx);
    quint32* sum = m_sums.data() + size_t(outY) * size_t(outWidth) * 4;
    for (int outX = 0; outX < outWidth; ++outX, sum += 4) {
        const int first = outX * m_fx;
        for (int k = 0; k < samples; ++k) {
            const int x = first + k * m_colStep;
            if (x >= m_natural.width())
                break;
            const QRgb p = row[x];
            sum[0] += quint32(qRed(p));
            sum[1] += quint32(qGreen(p));
            sum[2] += quint32(qBlue(p));
            sum[3] += quint32(qAlpha(p));
        }
    }
    ++m_rowsAdded[size_t(outY)];
}

QImage Shrinker::result()
{
    if (m_sums.empty())
        return std::move(m_image);
    const int outWidth = m_image.width(), samples = samplesPer(m_fx);
    for (int outY = 0; outY < m_image.height(); ++outY) {
        auto* out = reinterpret_cast<QRgb*>(m_image.scanLine(outY));
        const quint32* sum = m_sums.data() + size_t(outY) * size_t(outWidth) * 4;
        for (int outX = 0; outX < outWidth; ++outX, sum += 4) {
            // The last block of a row may be narrower than the others.
            const int columns = qMin(samples, (m_natural.width() - outX * m_fx + m_colStep - 1) / m_colStep);
            const quint32 n = quint32(m_rowsAdded[size_t(outY)]) * quint32(qMax(1, columns));
            out[outX] = n == 0 ? 0
                               : qRgba(int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n),
                                       int((sum[2] + n / 2) / n), int((sum[3] + n / 2) / n));
        }
    }
    m_sums = {};
    return std::move(m_image);
}

} // namespace qb::picture
