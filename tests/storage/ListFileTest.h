// The storage tests' entries held in memory, as the dialog holds its rows, and a fixture whose
// application reads and writes a list file in a scratch directory.
#pragma once

#include "framework/WinApp.h"
#include "storage/EntryList.h"
#include "storage/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

class EntryRows : public CEntryArray {
public:
    void Add(const char* name, const char* clsid, bool blocked) {
        Entry e;
        e.strName = name;
        e.strClsid = clsid;
        e.bBlocked = blocked;
        m_entries.push_back(e);
    }
    NamedClsids Named() const {
        NamedClsids named;
        for (const Entry& e : m_entries)
            named.emplace_back(std::string(e.strName), std::string(e.strClsid));
        return named;
    }
};

class ListFileTest : public testing::Test {
protected:
    ListFileTest() { UseListFile(dir.Path("Quellbox.ini")); }

    void UseListFile(const std::string& path) {
        free(const_cast<char*>(app.m_pszProfileName));
        app.m_pszProfileName = _strdup(path.c_str());
        listFile = path;
    }
    static EntryRows Load() {
        EntryRows entries;
        EntryList::Load(entries);
        return entries;
    }

    ScratchDir dir;
    CWinApp app;
    std::string listFile;
};
