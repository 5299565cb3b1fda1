#pragma once

#include <QString>

// The application title made from a product title: words are cut from the end,
// at least once, until it is 40 characters or shorter or no blank is left.
QString AppTitleFor(const QString& productTitle);

// Sets the application title from the product title.
void SetAppTitle();

// The caption of every message box and prompt that has none of its own.
QString AppTitle();
