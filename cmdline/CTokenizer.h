// CTokenizer.h - splits a text at one separator character with the rules of
// the runtime's strtok (separators before the first token are skipped, a run
// of separators counts as one, a token is never empty), but keeps its cursor
// in the object instead of in hidden global state, so that any number of
// threads can tokenize at once. It works on a writable text that the caller
// owns: a private copy, never the caller's original.
#ifndef CMDLINE_CTOKENIZER_H
#define CMDLINE_CTOKENIZER_H

class CTokenizer
{
public:
    CTokenizer(char* pszText, char chSeparator);
    virtual ~CTokenizer();

    // The next token, terminated in place, or NULL when none is left.
    char* Next();

private:
    char* m_pszNext;
    char m_chSeparator;
};

#endif // CMDLINE_CTOKENIZER_H
