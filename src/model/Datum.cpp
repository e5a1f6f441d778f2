#include "Datum.h"

#include "Category.h"

namespace tessary {

std::string CDatum::GetDisplayName() const
{
    std::string s(m_strName.view());
    if (!m_strExtension.empty()) {
        s += '.';
        s += m_strExtension.view();
    }
    return s;
}

std::string CDatum::GetFolderPath() const
{
    return m_pParent ? m_pParent->GetFolderPath() : std::string();
}

int CDatum::GetImageIndex() const
{
    if (m_strExtension.empty())
        return 0;
    IEntryServices* services = GetEntryServices();
    if (!services)
        return 0;
    std::string pseudo = ".";
    pseudo += m_strExtension.view();
    return services->IconIndex(pseudo, false, false);
}

void CDatum::ViewContent() const
{
    if (IEntryServices* services = GetEntryServices())
        services->ViewContent(*this, ContentViewerFor(*this));
}

ContentViewer ContentViewerFor(const CDatum& datum) noexcept
{
    if (!datum.m_strText.empty())
        return ContentViewer::Text;
    std::string_view ext = datum.m_strExtension.view();
    char lower[6];
    if (ext.size() < 3 || ext.size() > sizeof lower)
        return ContentViewer::Text;
    for (std::size_t i = 0; i < ext.size(); ++i) {
        char c = ext[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    std::string_view l(lower, ext.size());
    return (l == "htm" || l == "html" || l == "shtml") ? ContentViewer::Html : ContentViewer::Text;
}

CFileDatum::CFileDatum(std::string_view fileName)
{
    std::size_t dot = fileName.find('.');
    if (dot == std::string_view::npos) {
        m_strName = fileName;
    } else {
        m_strName = fileName.substr(0, dot);
        m_strExtension = fileName.substr(dot + 1);
    }
}

std::string CFileDatum::GetPath() const
{
    return PathIn(m_pParent ? m_pParent->GetPath() : std::string());
}

std::string CFileDatum::PathIn(std::string_view folderPath) const
{
    std::string path;
    path.reserve(folderPath.size() + 2 + m_strName.size() + m_strExtension.size());
    path += folderPath;
    path += kPathSep;
    // The display name, appended without a string of its own.
    path += m_strName.view();
    if (!m_strExtension.empty()) {
        path += '.';
        path += m_strExtension.view();
    }
    return path;
}

int CCustomDatum::EditProperties()
{
    IEntryServices* services = GetEntryServices();
    return services ? services->EditProperties(*this) : -1;
}

std::string CCustomDatum::GetPath() const
{
    std::string path(m_strFolder.view());
    path += kPathSep;
    path += GetDisplayName();
    return path;
}

void CCustomDatum::SetFromPath(std::string_view path)
{
    std::size_t sep = path.rfind(kPathSep);
    std::string_view file = path;
    if (sep == std::string_view::npos) {
        m_strFolder.Clear();
    } else {
        m_strFolder = path.substr(0, sep);
        file = path.substr(sep + 1);
    }
    std::size_t dot = file.rfind('.');
    if (dot == std::string_view::npos) {
        m_strName = file;
        m_strExtension.Clear();
    } else {
        m_strName = file.substr(0, dot);
        m_strExtension = file.substr(dot + 1);
    }
}

} // namespace tessary
