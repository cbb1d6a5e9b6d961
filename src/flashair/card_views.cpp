// The card's views before the card has been listed: the tree keeps only its
// root and the thumbnail grid is empty.
#include "flashair/card_views.h"

void TFA_CreateTree() {}

int TFA_CreateThumbs() { return 0; }
