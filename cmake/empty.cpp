// The umbrella library gets its objects from the layers; an archive needs one source.
