// CShortView.h - memory that ends a given number of bytes before an
// inaccessible page: stands in for the view of a block that a foreign
// process made smaller than asked, so that any access past its end faults.
#ifndef TESTS_INSTANCE_CSHORTVIEW_H
#define TESTS_INSTANCE_CSHORTVIEW_H

#include <windows.h>

class CShortView
{
public:
    explicit CShortView(DWORD dwBytes);
    virtual ~CShortView();

    BYTE* m_pView;  // NULL when the pages could not be set up

private:
    BYTE* m_pPages;
};

#endif // TESTS_INSTANCE_CSHORTVIEW_H
