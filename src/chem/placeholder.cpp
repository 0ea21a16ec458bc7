// Replaced by the chemistry layer sources.
